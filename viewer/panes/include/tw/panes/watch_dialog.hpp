#pragma once
// dlgWatch, the "Watch" dialog: asks for an object name, an operator and a value and makes a
// Watch of them. It is hidden, not destroyed, after each use, so it shows the last entries
// again the next time.

#include "tw/panes/watch.hpp"

#include <QComboBox>
#include <QDialog>
#include <QStringList>

#include <functional>
#include <optional>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tw::viewer {

// The editable object-name list: fills itself each time its list opens.
class ObjectNameCombo : public QComboBox {
    Q_OBJECT
public:
    using Source = std::function<QStringList()>;
    explicit ObjectNameCombo(QWidget* parent = nullptr) : QComboBox(parent) {}
    void SetSource(Source source) { m_source = std::move(source); }
    // Refills the list from the source (the typed text stays); errors go to a warning box.
    void Refill();
    void showPopup() override;

private:
    Source m_source;
};

class DlgWatch : public QDialog {
    Q_OBJECT
public:
    // names gives the object names offered in the list each time it opens.
    explicit DlgWatch(ObjectNameCombo::Source names, QWidget* parent = nullptr);

    // True after OK; false after Cancel.
    bool DialogOK() const { return m_dialogOK; }
    // The new watch after OK; empty after Cancel.
    const std::optional<Watch>& WatchObject() const { return m_watch; }

    // Runs the dialog modally and returns DialogOK().
    bool ShowModal();

    // The controls, by their names.
    ObjectNameCombo* cboObjects() const { return m_cboObjects; }
    QLineEdit* txtValue() const { return m_txtValue; }
    QRadioButton* optOper(int index) const { return m_optOper[index]; }
    QPushButton* btnCmd(int index) const { return m_btnCmd[index]; }
    // "Pause the report when this watch catches": the caller adds a breakpoint of the watch.
    QCheckBox* chkPause() const { return m_chkPause; }
    bool PauseOnCatch() const;

    // The program's title, the caption of the dialog's error boxes.
    static QString ProgramTitle() { return QStringLiteral("Tracewell"); }

    void reject() override;

private:
    void OnOK();
    void OnCancel();
    // Collects the failed checks; true when the input passes.
    bool CheckInput(QStringList& errors) const;

    ObjectNameCombo* m_cboObjects;
    QLineEdit* m_txtValue;
    QRadioButton* m_optOper[7];
    QPushButton* m_btnCmd[2];
    QCheckBox* m_chkPause;
    bool m_dialogOK = false;
    std::optional<Watch> m_watch;
};

}  // namespace tw::viewer
