#pragma once
// frmSplash: the window the start-up routine shows for a moment before the main window. White,
// without caption, texts in Verdana: the product picture, what the program is for, its version
// and a notice.

#include <QWidget>

class QLabel;

namespace tw::window {

class FrmSplash : public QWidget {
    Q_OBJECT
public:
    // Builds the window and runs its load: lblVersion becomes "Version <major.minor.revision>".
    explicit FrmSplash(QWidget* parent = nullptr);

    QLabel* Image1 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblNotice = nullptr;

private:
    void Form_Load();
};

// The notice lines of the splash window.
QString SplashNotice();

}  // namespace tw::window
