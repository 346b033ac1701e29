#pragma once
// dlgGoto, "Goto Record Number": asks for the record number the navigator looks for. Loaded
// once and only hidden after use, so the text and the check box keep what the user left.

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tw::viewer {

class DlgGoto : public QDialog {
    Q_OBJECT
public:
    explicit DlgGoto(QWidget* owner = nullptr);

    // True when the dialog was last closed with the Goto button; false at load.
    bool DialogOK() const { return m_dialogOK; }
    // The text typed into txtRecordNumber.
    QString RecordNumberText() const;
    // Whether chkFirst ("Search from the first record number") is ticked.
    bool SearchFromFirst() const;

    // Shows the dialog modally and returns DialogOK.
    bool Ask();

    // btnCmd(0) "&Goto" and btnCmd(1) "&Cancel".
    QPushButton* Button(int index) const;

protected:
    // Escape and the window's close button count as Cancel.
    void reject() override;

private:
    void btnCmd_Click(int index);
    // Collects every failed check; true when none failed.
    bool CheckInput();

    QLabel* m_lblWhat;
    QLineEdit* m_txtRecordNumber;
    QCheckBox* m_chkFirst;
    QPushButton* m_btnCmd[2];
    bool m_dialogOK = false;
};

}  // namespace tw::viewer
