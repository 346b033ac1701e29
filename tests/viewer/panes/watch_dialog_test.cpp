#include "tw/panes/watch_dialog.hpp"

#include "tw/common/common.hpp"
#include "tw/testing/message_boxes.hpp"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

namespace tw::viewer {
namespace {

using RecordingBoxes = tw::test::BoxRecorder;

class WatchDialog : public ::testing::Test {
protected:
    void SetUp() override { tw::setMessageBoxes(&boxes); }
    void TearDown() override { tw::setMessageBoxes(nullptr); }
    RecordingBoxes boxes;
    QStringList names{"Total", "Name"};
    int fills = 0;
    DlgWatch dlg{[this] {
        ++fills;
        return names;
    }};
};

TEST_F(WatchDialog, HasItsCaptionControlsAndOperators) {
    EXPECT_EQ(dlg.objectName(), "dlgWatch");
    EXPECT_EQ(dlg.windowTitle(), "Watch");
    EXPECT_EQ(dlg.findChild<QLabel*>("lblObject")->text(), "&Object Name:");
    EXPECT_EQ(dlg.findChild<QLabel*>("lblValue")->text(), "&Value:");
    EXPECT_TRUE(dlg.cboObjects()->isEditable());
    const QStringList ops = {"=", "<", "<=", ">", ">=", "<>", "Like"};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(dlg.optOper(i)->text(), ops[i]);
    EXPECT_TRUE(dlg.optOper(0)->isChecked());
    EXPECT_EQ(dlg.btnCmd(0)->text(), "&OK");
    EXPECT_EQ(dlg.btnCmd(1)->text(), "&Cancel");
    EXPECT_TRUE(dlg.btnCmd(0)->isDefault());
}

TEST_F(WatchDialog, OkWithoutNameAndValueShowsBothMessagesAndStaysOpen) {
    dlg.show();
    dlg.txtValue()->setText("   ");
    dlg.btnCmd(0)->click();
    ASSERT_EQ(boxes.prompts.size(), 1);
    EXPECT_EQ(boxes.prompts[0],
              "Watch Expression requires an Object Name.\r\nWatch Expression requires an Object Value.\r\n");
    EXPECT_EQ(boxes.captions[0], "Tracewell");
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_FALSE(dlg.DialogOK());
}

TEST_F(WatchDialog, OkMakesAWatchOfTheUntrimmedTextsAndCancelDropsIt) {
    dlg.show();
    dlg.cboObjects()->setEditText(" Total");
    dlg.txtValue()->setText(" 100 ");
    dlg.optOper(4)->setChecked(true);
    dlg.btnCmd(0)->click();
    EXPECT_TRUE(boxes.prompts.isEmpty());
    EXPECT_FALSE(dlg.isVisible());
    ASSERT_TRUE(dlg.DialogOK());
    ASSERT_TRUE(dlg.WatchObject().has_value());
    EXPECT_EQ(dlg.WatchObject()->ObjectName(), " Total");
    EXPECT_EQ(dlg.WatchObject()->Operator(), ">=");
    EXPECT_EQ(dlg.WatchObject()->Value(), " 100 ");

    // Hidden, not destroyed: the entries are there next time; Cancel leaves no watch.
    dlg.show();
    EXPECT_EQ(dlg.txtValue()->text(), " 100 ");
    dlg.btnCmd(1)->click();
    EXPECT_FALSE(dlg.DialogOK());
    EXPECT_FALSE(dlg.WatchObject().has_value());
    EXPECT_FALSE(dlg.isVisible());
}

TEST_F(WatchDialog, TheNameListIsFilledAfreshEachTimeItOpensAndKeepsTheTypedText) {
    dlg.cboObjects()->setEditText("typed");
    dlg.cboObjects()->Refill();
    EXPECT_EQ(dlg.cboObjects()->count(), 2);
    EXPECT_EQ(dlg.cboObjects()->currentText(), "typed");
    names << "Count";
    dlg.cboObjects()->Refill();
    EXPECT_EQ(dlg.cboObjects()->count(), 3);
    EXPECT_EQ(dlg.cboObjects()->itemText(2), "Count");
    EXPECT_EQ(fills, 2);
}

TEST_F(WatchDialog, AnErrorWhileFillingShowsTheErrorText) {
    DlgWatch failing([]() -> QStringList { throw AppError(91, "Object variable not set"); });
    failing.cboObjects()->Refill();
    ASSERT_EQ(boxes.prompts.size(), 1);
    EXPECT_EQ(boxes.prompts[0], "[91 - Object variable not set]");
    EXPECT_EQ(boxes.captions[0], "Tracewell");
}

}  // namespace
}  // namespace tw::viewer
