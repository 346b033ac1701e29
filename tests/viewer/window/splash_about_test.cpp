// The splash window and the About dialog: version texts and their lifetimes.

#include "tw/testing/message_boxes.hpp"
#include "tw/testing/modal.hpp"
#include "tw/window/about.hpp"
#include "tw/window/commands.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/splash.hpp"
#include "tw/window/startup.hpp"
#include "tw/window/version.hpp"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace tw::window {
namespace {

TEST(VersionText, PlainDecimalWithoutPadding) {
    EXPECT_EQ(VersionText(1, 2, 0), "1.2.0");
    EXPECT_EQ(VersionText(1, 2, 15), "1.2.15");
    EXPECT_EQ(VersionText(10, 0, 7), "10.0.7");
    EXPECT_EQ(ProgramVersionText(), QStringLiteral(TW_VERSION_STRING));
}

TEST(Splash, ShowsTheFixedTextsAndTheVersionOnce) {
    for (int run = 0; run < 2; ++run) {
        FrmSplash splash;
        EXPECT_EQ(splash.lblVersion->text(), "Version " + ProgramVersionText());
        EXPECT_EQ(splash.Label3->text(), "Integrated debugging for Crystal Decisions Crystal Reports");
        EXPECT_FALSE(splash.lblNotice->text().isEmpty());
        EXPECT_FALSE(splash.Image1->pixmap().isNull());
        EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
        EXPECT_NE(splash.windowTitle(), QString::fromLatin1(kCaption));
    }
}

TEST(About, VersionIsBuiltAfreshEachTime) {
    for (int run = 0; run < 2; ++run) {
        DlgAbout about;
        EXPECT_EQ(about.windowTitle(), "About");
        EXPECT_TRUE(about.isModal());
        EXPECT_EQ(about.lblTitle->text(), "Tracewell");
        EXPECT_EQ(about.lblCR->text(), "For Crystal Reports");
        EXPECT_EQ(about.lblVersion->text(), QString(kAboutVersionPrefix) + " " + ProgramVersionText());
        EXPECT_EQ(about.btnCmd->text(), "&OK");
    }
}

// Help, About twice from the menu: each time a new dialog, owned by the window, gone after OK.
TEST(About, MenuCommandShowsAModalDialogThatOkUnloads) {
    FrmMain form;
    form.show();
    QStringList versions;
    for (int run = 0; run < 2; ++run) {
        QTimer::singleShot(0, [&] {
            auto* about = qobject_cast<DlgAbout*>(QApplication::activeModalWidget());
            ASSERT_NE(about, nullptr);
            EXPECT_EQ(about->parentWidget(), &form);
            versions << about->lblVersion->text();
            about->btnCmd->click();
        });
        ASSERT_TRUE(form.commands().Run("mnuHelpAbout"));
        EXPECT_TRUE(form.findChildren<DlgAbout*>().isEmpty());
    }
    EXPECT_EQ(versions, QStringList(2, QString(kAboutVersionPrefix) + " " + ProgramVersionText()));
}

TEST(Startup, SplashIsGoneOnceTheMainWindowShows) {
    auto form = Main(*qApp, 20);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->windowTitle(), "Tracewell");
    QApplication::processEvents();
    for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_EQ(qobject_cast<FrmSplash*>(w), nullptr);
    EXPECT_TRUE(HelpFile().endsWith("/tracewell3.chm"));
}

}  // namespace
}  // namespace tw::window
