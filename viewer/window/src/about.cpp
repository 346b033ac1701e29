#include "tw/window/about.hpp"

#include "tw/window/product_picture.hpp"
#include "tw/window/version.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tw::window {

DlgAbout::DlgAbout(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("dlgAbout"));
    setWindowTitle(QStringLiteral("About"));
    setModal(true);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(ProductPicture(64));
    Image1->setAlignment(Qt::AlignTop);
    lblTitle = new QLabel(QStringLiteral("Tracewell"), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont title = lblTitle->font();
    title.setPointSizeF(title.pointSizeF() * 1.6);
    title.setBold(true);
    lblTitle->setFont(title);
    lblCR = new QLabel(QStringLiteral("For Crystal Reports"), this);
    lblCR->setObjectName(QStringLiteral("lblCR"));
    lblVersion = new QLabel(this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    btnCmd = new QPushButton(QStringLiteral("&OK"), this);
    btnCmd->setObjectName(QStringLiteral("btnCmd"));
    btnCmd->setProperty("index", 0);
    btnCmd->setDefault(true);
    connect(btnCmd, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(lblTitle);
    texts->addWidget(lblCR);
    texts->addWidget(lblVersion);
    texts->addStretch(1);
    auto* top = new QHBoxLayout;
    top->setSpacing(16);
    top->addWidget(Image1);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnCmd);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    setMinimumWidth(320);

    Form_Load();
}

void DlgAbout::Form_Load() {
    lblVersion->setText(QLatin1String(kAboutVersionPrefix) + QLatin1Char(' ') + ProgramVersionText());
}

void ShowAbout(QWidget* owner) {
    DlgAbout dialog(owner);
    dialog.exec();
}

}  // namespace tw::window
