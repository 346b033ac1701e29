#include "tw/display/dlg_goto.hpp"

#include "tw/common/common.hpp"
#include "tw/display/numeric_text.hpp"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tw::viewer {

DlgGoto::DlgGoto(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("dlgGoto"));
    setWindowTitle(QStringLiteral("Goto Record Number"));
    setModal(true);

    m_lblWhat = new QLabel(QStringLiteral("&Goto Record Number:"), this);
    m_lblWhat->setObjectName(QStringLiteral("lblWhat"));
    m_txtRecordNumber = new QLineEdit(this);
    m_txtRecordNumber->setObjectName(QStringLiteral("txtRecordNumber"));
    m_lblWhat->setBuddy(m_txtRecordNumber);
    m_chkFirst = new QCheckBox(QStringLiteral("&Search from the first record number"), this);
    m_chkFirst->setObjectName(QStringLiteral("chkFirst"));

    const char* captions[2] = {"&Goto", "&Cancel"};
    auto* buttons = new QVBoxLayout;
    for (int i = 0; i < 2; ++i) {
        m_btnCmd[i] = new QPushButton(QString::fromLatin1(captions[i]), this);
        m_btnCmd[i]->setObjectName(QStringLiteral("btnCmd"));
        m_btnCmd[i]->setProperty("index", i);
        connect(m_btnCmd[i], &QPushButton::clicked, this, [this, i] { btnCmd_Click(i); });
        buttons->addWidget(m_btnCmd[i]);
    }
    m_btnCmd[0]->setDefault(true);
    buttons->addStretch();

    auto* fields = new QVBoxLayout;
    fields->addWidget(m_lblWhat);
    fields->addWidget(m_txtRecordNumber);
    fields->addWidget(m_chkFirst);
    fields->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(fields, 1);
    layout->addLayout(buttons);
}

QString DlgGoto::RecordNumberText() const { return m_txtRecordNumber->text(); }
bool DlgGoto::SearchFromFirst() const { return m_chkFirst->isChecked(); }
QPushButton* DlgGoto::Button(int index) const { return m_btnCmd[index == 0 ? 0 : 1]; }

bool DlgGoto::Ask() {
    m_dialogOK = false;
    m_txtRecordNumber->setFocus();
    m_txtRecordNumber->selectAll();
    exec();
    return m_dialogOK;
}

bool DlgGoto::CheckInput() {
    ErrorList errors;
    const auto value = NumericValue(m_txtRecordNumber->text());
    if (!value)
        AddError(QStringLiteral("Record Number"), QStringLiteral("Must be a numeric value."), errors);
    else if (*value <= 0)
        AddError(QStringLiteral("Record Number"), QStringLiteral("Must be a value greater than zero."), errors);
    if (errors.isEmpty()) return true;
    ShowErrors(ProgramTitle(), &errors);
    return false;
}

void DlgGoto::btnCmd_Click(int index) {
    if (index == 0) {
        if (!CheckInput()) return;  // stays open for correction
        m_dialogOK = true;
    } else {
        m_dialogOK = false;
    }
    hide();
}

void DlgGoto::reject() { btnCmd_Click(1); }

}  // namespace tw::viewer
