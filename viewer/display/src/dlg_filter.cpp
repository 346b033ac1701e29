#include "tw/display/dlg_filter.hpp"

#include "tw/common/dialog_buttons.hpp"
#include "tw/core/message_sink.hpp"
#include "tw/display/viewer_images.hpp"

#include <QCheckBox>
#include <QColorDialog>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tw::viewer {

namespace {

template <typename W>
W* Named(W* widget, const char* name, int index = -1) {
    widget->setObjectName(QString::fromLatin1(name));
    if (index >= 0) widget->setProperty("index", index);
    return widget;
}

QLabel* Label(const char* caption, QWidget* parent, QWidget* buddy = nullptr) {
    auto* label = new QLabel(QString::fromLatin1(caption), parent);
    if (buddy) label->setBuddy(buddy);
    return label;
}

}  // namespace

Colour ColourFromQColor(const QColor& colour) {
    return Colour(colour.red()) | Colour(colour.green()) << 8 | Colour(colour.blue()) << 16;
}

QColor QColorFromColour(Colour colour) {
    return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}

DlgFilter::DlgFilter(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("dlgFilter"));
    setWindowTitle(QStringLiteral("Create Filter"));
    setModal(true);

    // Message Types: the five types a filter offers, each with its trace picture.
    m_fraTypes = Named(new QGroupBox(QStringLiteral("Message Types:"), this), "fraTypes");
    const char* typeCaptions[5] = {"General Messages", "Notes", "Errors", "Warnings", "Objects"};
    auto* typesLayout = new QVBoxLayout(m_fraTypes);
    for (int i = 0; i < 5; ++i) {
        m_chkType[i] = Named(new QCheckBox(QString::fromLatin1(typeCaptions[i]), m_fraTypes), "chkType", i);
        m_chkType[i]->setProperty("tag", QString::number(i));
        m_chkType[i]->setIcon(ViewerImage(MessageSink::IconFor(i)));
        typesLayout->addWidget(m_chkType[i]);
    }

    auto* fraString = Named(new QGroupBox(QStringLiteral("Messages Contain:"), this), "fraString");
    m_txtString = Named(new QLineEdit(fraString), "txtString");
    m_chkCase = Named(new QCheckBox(QStringLiteral("Match &case"), fraString), "chkCase");
    auto* note = Named(Label("Separate several expressions with a semicolon (;).", fraString), "lblNote");
    note->setWordWrap(true);
    auto* stringLayout = new QVBoxLayout(fraString);
    stringLayout->addWidget(m_txtString);
    stringLayout->addWidget(m_chkCase);
    stringLayout->addWidget(note);

    auto* fraRange = Named(new QGroupBox(QStringLiteral("Record Range:"), this), "fraRange");
    m_txtFrom = Named(new QLineEdit(fraRange), "txtFrom");
    m_txtTo = Named(new QLineEdit(fraRange), "txtTo");
    auto* rangeLayout = new QHBoxLayout(fraRange);
    rangeLayout->addWidget(Label("From &Record Number:", fraRange, m_txtFrom));
    rangeLayout->addWidget(m_txtFrom);
    rangeLayout->addWidget(Label("&To:", fraRange, m_txtTo));
    rangeLayout->addWidget(m_txtTo);

    auto* fraView = Named(new QGroupBox(QStringLiteral("View:"), this), "fraView");
    m_optView[1] = Named(new QRadioButton(QStringLiteral("&Highlight existing items in selected color:"), fraView),
                         "optView", 1);
    m_optView[0] = Named(new QRadioButton(QStringLiteral("&Create new viewer tab with filtered items only:"), fraView),
                         "optView", 0);
    m_optView[1]->setChecked(true);
    m_picColour = Named(new QFrame(fraView), "picColour");
    m_picColour->setFrameShape(QFrame::Box);
    m_picColour->setFixedSize(40, 20);
    m_picColour->setAutoFillBackground(true);
    m_cmdColour = Named(new QPushButton(QStringLiteral("..."), fraView), "cmdColour");
    m_cmdColour->setAutoDefault(false);
    connect(m_cmdColour, &QPushButton::clicked, this, &DlgFilter::cmdColour_Click);
    m_txtName = Named(new QLineEdit(fraView), "txtName");
    auto* viewLayout = new QGridLayout(fraView);
    viewLayout->addWidget(m_optView[1], 0, 0, 1, 2);
    viewLayout->addWidget(m_picColour, 0, 2);
    viewLayout->addWidget(m_cmdColour, 0, 3);
    viewLayout->addWidget(m_optView[0], 1, 0, 1, 4);
    viewLayout->addWidget(Label("&Filter Name:", fraView, m_txtName), 2, 0);
    viewLayout->addWidget(m_txtName, 2, 1, 1, 3);
    SetSwatchColour(kDefaultFilterColour);

    QHBoxLayout* buttons = MakeOkCancelRow(this, m_btnCmd);
    for (int i = 0; i < 2; ++i) connect(m_btnCmd[i], &QPushButton::clicked, this, [this, i] { btnCmd_Click(i); });

    auto* right = new QVBoxLayout;
    right->addWidget(fraString);
    right->addWidget(fraRange);
    right->addWidget(fraView);
    auto* top = new QHBoxLayout;
    top->addWidget(m_fraTypes);
    top->addLayout(right, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
}

DlgFilter::~DlgFilter() = default;

QPushButton* DlgFilter::Button(int index) const { return m_btnCmd[index == 0 ? 0 : 1]; }

void DlgFilter::SetSwatchColour(Colour colour) {
    m_colour = colour & 0x00FFFFFFu;
    QPalette palette = m_picColour->palette();
    palette.setColor(QPalette::Window, QColorFromColour(m_colour));
    m_picColour->setPalette(palette);
}

void DlgFilter::cmdColour_Click() {
    // The system colour chooser, preset to the swatch; cancelling keeps the preset.
    const QColor chosen = QColorDialog::getColor(QColorFromColour(m_colour), this);
    if (chosen.isValid()) SetSwatchColour(ColourFromQColor(chosen));
}

void DlgFilter::btnCmd_Click(int index) {
    if (index != 0) {
        m_filter.reset();
        hide();
        return;
    }
    std::vector<qint16> types;
    for (QCheckBox* box : m_chkType)
        if (box->isChecked()) types.push_back(qint16(box->property("tag").toString().toShort()));
    auto filter = std::make_unique<viewer::Filter>();
    if (!filter->Create(m_txtName->text(), m_txtString->text(), m_chkCase->isChecked(), m_txtFrom->text(),
                        m_txtTo->text(), types, m_optView[1]->isChecked(), m_colour))
        return;  // the errors were shown; the dialog stays open with the input
    m_filter = std::move(filter);
    hide();
}

void DlgFilter::reject() { btnCmd_Click(1); }

}  // namespace tw::viewer
