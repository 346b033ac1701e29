#include "tw/display/dlg_find.hpp"

#include <QCheckBox>
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

}  // namespace

DlgFind::DlgFind(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("dlgFind"));
    setWindowTitle(QStringLiteral("Find"));
    setModal(true);

    m_lblWhat = Named(new QLabel(QStringLiteral("Fi&nd what:"), this), "lblWhat");
    m_txtFind = Named(new QLineEdit(this), "txtFind");
    m_lblWhat->setBuddy(m_txtFind);
    m_fraDir = Named(new QGroupBox(QStringLiteral("Direction"), this), "fraDir");
    m_optDir[0] = Named(new QRadioButton(QStringLiteral("&Up"), m_fraDir), "optDir", 0);
    m_optDir[1] = Named(new QRadioButton(QStringLiteral("&Down"), m_fraDir), "optDir", 1);
    m_optDir[1]->setChecked(true);
    auto* dirLayout = new QHBoxLayout(m_fraDir);
    dirLayout->addWidget(m_optDir[0]);
    dirLayout->addWidget(m_optDir[1]);
    m_chkCase = Named(new QCheckBox(QStringLiteral("Match &case"), this), "chkCase");
    m_chkWholeWord = Named(new QCheckBox(QStringLiteral("Match &whole word only"), this), "chkWholeWord");

    const char* captions[2] = {"&Find Next", "&Cancel"};
    auto* buttons = new QVBoxLayout;
    for (int i = 0; i < 2; ++i) {
        m_btnCmd[i] = Named(new QPushButton(QString::fromLatin1(captions[i]), this), "btnCmd", i);
        connect(m_btnCmd[i], &QPushButton::clicked, this, [this, i] { btnCmd_Click(i); });
        buttons->addWidget(m_btnCmd[i]);
    }
    m_btnCmd[0]->setDefault(true);
    buttons->addStretch();

    auto* what = new QHBoxLayout;
    what->addWidget(m_lblWhat);
    what->addWidget(m_txtFind, 1);
    auto* options = new QHBoxLayout;
    auto* checks = new QVBoxLayout;
    checks->addWidget(m_chkWholeWord);
    checks->addWidget(m_chkCase);
    options->addLayout(checks);
    options->addWidget(m_fraDir);
    auto* fields = new QVBoxLayout;
    fields->addLayout(what);
    fields->addLayout(options);
    fields->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(fields, 1);
    layout->addLayout(buttons);
}

bool DlgFind::MatchCase() const { return m_chkCase->isChecked(); }
bool DlgFind::MatchWholeWord() const { return m_chkWholeWord->isChecked(); }
bool DlgFind::SearchDown() const { return m_optDir[1]->isChecked(); }
QString DlgFind::SearchText() const { return m_txtFind->text(); }
void DlgFind::SetSearchText(const QString& text) { m_txtFind->setText(text); }
QPushButton* DlgFind::Button(int index) const { return m_btnCmd[index == 0 ? 0 : 1]; }

bool DlgFind::Ask() {
    m_dialogOK = false;
    m_txtFind->setFocus();
    m_txtFind->selectAll();
    exec();
    return m_dialogOK;
}

void DlgFind::btnCmd_Click(int index) {
    m_dialogOK = index == 0;
    hide();
}

void DlgFind::reject() { btnCmd_Click(1); }

}  // namespace tw::viewer
