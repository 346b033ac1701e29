#include "tw/window/splash.hpp"

#include "tw/window/product_picture.hpp"
#include "tw/window/version.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

namespace tw::window {
namespace {

constexpr int kPictureSide = 96;

QLabel* MakeLabel(const QString& name, const QString& text, qreal points, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(points);
    label->setFont(font);
    label->setWordWrap(true);
    return label;
}

}  // namespace

QString SplashNotice() {
    return QStringLiteral(
        "Shows what the formulas of a report send while the report runs.\n"
        "Provided as is, without warranty of any kind.");
}

FrmSplash::FrmSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("frmSplash"));
    // Never shown (no caption), but it must not be "Tracewell": senders find the main window by
    // that title and no other window may carry it.
    setWindowTitle(QStringLiteral("Tracewell is starting"));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    setPalette(palette);
    QFont font(QStringLiteral("Verdana"));
    setFont(font);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(ProductPicture(kPictureSide));
    Image1->setAlignment(Qt::AlignTop);
    auto* title = MakeLabel(QStringLiteral("lblProduct"), QStringLiteral("Tracewell"), 20, this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    Label3 = MakeLabel(QStringLiteral("Label3"),
                       QStringLiteral("Integrated debugging for Crystal Decisions Crystal Reports"), 10, this);
    lblVersion = MakeLabel(QStringLiteral("lblVersion"), QStringLiteral("Version"), 9, this);
    lblNotice = MakeLabel(QStringLiteral("lblNotice"), QString(), 7.5, this);
    lblNotice->setForegroundRole(QPalette::WindowText);

    auto* texts = new QVBoxLayout;
    texts->addWidget(title);
    texts->addWidget(Label3);
    texts->addSpacing(12);
    texts->addWidget(lblVersion);
    texts->addStretch(1);
    texts->addWidget(lblNotice);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 18);
    layout->setSpacing(20);
    layout->addWidget(Image1);
    layout->addLayout(texts, 1);
    setFixedSize(460, 230);
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());

    Form_Load();
}

void FrmSplash::Form_Load() {
    lblVersion->setText(lblVersion->text() + QLatin1Char(' ') + ProgramVersionText());
    lblNotice->setText(SplashNotice());
}

}  // namespace tw::window
