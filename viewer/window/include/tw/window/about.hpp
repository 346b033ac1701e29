#pragma once
// dlgAbout: who the program is and which version runs. Built afresh for every showing.

#include <QDialog>

class QLabel;
class QPushButton;

namespace tw::window {

// The word in front of the version on the About dialog.
inline constexpr const char* kAboutVersionPrefix = "Version";

class DlgAbout : public QDialog {
    Q_OBJECT
public:
    // Builds the dialog and runs its load: lblVersion becomes "Version <major.minor.revision>".
    explicit DlgAbout(QWidget* owner = nullptr);

    QLabel* Image1 = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblCR = nullptr;
    QLabel* lblVersion = nullptr;
    QPushButton* btnCmd = nullptr;  // "&OK", index 0 of the dialog's buttons

private:
    void Form_Load();
};

// Help, About: shows a new About dialog modally, owned by the window, and releases it when
// "&OK" (or closing it) unloads it.
void ShowAbout(QWidget* owner);

}  // namespace tw::window
