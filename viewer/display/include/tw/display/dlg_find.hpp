#pragma once
// dlgFind, "Find": the search text and its options. Loaded once and only hidden after use,
// so the last text and options serve the next Find... and every Find Next.

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tw::viewer {

class DlgFind : public QDialog {
    Q_OBJECT
public:
    explicit DlgFind(QWidget* owner = nullptr);

    // True when last closed with "Find Next"; false at load.
    bool DialogOK() const { return m_dialogOK; }
    // chkCase is ticked.
    bool MatchCase() const;
    // chkWholeWord is ticked.
    bool MatchWholeWord() const;
    // optDir(1) "Down" is selected.
    bool SearchDown() const;

    // The search text (txtFind) and writing it back.
    QString SearchText() const;
    void SetSearchText(const QString& text);

    // Shows the dialog modally and returns DialogOK.
    bool Ask();

    // btnCmd(0) "&Find Next" and btnCmd(1) "&Cancel".
    QPushButton* Button(int index) const;

protected:
    // Escape and the window's close button count as Cancel.
    void reject() override;

private:
    void btnCmd_Click(int index);

    QLabel* m_lblWhat;
    QLineEdit* m_txtFind;
    QGroupBox* m_fraDir;
    QRadioButton* m_optDir[2];
    QCheckBox* m_chkCase;
    QCheckBox* m_chkWholeWord;
    QPushButton* m_btnCmd[2];
    bool m_dialogOK = false;
};

}  // namespace tw::viewer
