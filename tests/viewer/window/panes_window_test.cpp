// Watches, autos and log files through the real main window: its commands, dialogs and panes.

#include "tw/common/common.hpp"
#include "tw/core/message_manager.hpp"
#include "tw/display/viewer.hpp"
#include "tw/panes/autos_manager.hpp"
#include "tw/panes/watch_dialog.hpp"
#include "tw/panes/watch_manager.hpp"
#include "tw/testing/message_boxes.hpp"
#include "tw/testing/modal.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/log_progress.hpp"
#include "tw/window/toolbar.hpp"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QTreeView>
#include <gtest/gtest.h>

#include <functional>

namespace tw::window {
namespace {

using RecordingBoxes = tw::test::BoxRecorder;

using viewer::MessageSink;

// Types a full path into a file dialog's name box (selectFile leaves a focused box alone).
void TypeFileName(QFileDialog* dialog, const QString& path) {
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    edit->setText(path);
}

using test::OnNextModal;

class PanesWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        tw::setMessageBoxes(&boxes);
        form = std::make_unique<FrmMain>();
    }
    void TearDown() override {
        form.reset();
        tw::setMessageBoxes(nullptr);
    }
    void Object(const QString& name, const QString& value, qint32 record) {
        form->MessageManager().Add(MessageSink::CreateEx(4, record, name + " = " + value, name, value));
    }
    void Send(qint16 type, const QString& text) { form->MessageManager().Add(MessageSink::CreateEx(type, 0, text)); }
    void Run(const char* name) { ASSERT_TRUE(form->commands().Run(name)) << name; }
    // Opens Add Watch through the toolbar and fills the dialog in.
    void AddWatch(const QString& name, int op, const QString& value) {
        OnNextModal([&](QWidget* w) {
            auto* dlg = qobject_cast<viewer::DlgWatch*>(w);
            ASSERT_NE(dlg, nullptr);
            dlg->cboObjects()->setEditText(name);
            dlg->optOper(op)->setChecked(true);
            dlg->txtValue()->setText(value);
            dlg->btnCmd(0)->click();
        });
        QAction* button = ToolbarButton(*form->controls().tbrToolbar, QStringLiteral("Watch"));
        ASSERT_NE(button, nullptr);
        button->trigger();
    }
    // Chooses path in the next file dialog, after checking its title.
    void ChooseFile(const QString& title, const QString& path) {
        OnNextModal([title, path](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle(), title);
            if (path.isEmpty()) {
                dialog->reject();
                return;
            }
            TypeFileName(dialog, path);
            static_cast<QDialog*>(dialog)->accept();
        });
    }

    RecordingBoxes boxes;
    std::unique_ptr<FrmMain> form;
};

TEST_F(PanesWindowTest, AWatchAddedThroughTheToolbarCatchesValuesWhileItsOptionIsChecked) {
    Object("Total", "5", 1);  // for the name list
    AddWatch("total", 3, "100");
    viewer::WatchManager& watches = form->WatchManager();
    ASSERT_EQ(watches.NodeCount(), 2);
    EXPECT_EQ(watches.NodeText(2), "total > 100");
    EXPECT_EQ(form->WatchDialog().cboObjects()->count(), 0);  // filled only when the list opens

    Object("Total", "99", 7);
    ASSERT_EQ(watches.ResultCount(), 1);
    EXPECT_EQ(watches.Result(0).recordNumber, 7);
    watches.ResultsModel().FlushPending();
    QTreeView* lvwWatch = form->controls().lvwWatch;
    ASSERT_EQ(lvwWatch->model(), &watches.ResultsModel());
    EXPECT_EQ(lvwWatch->model()->index(0, 2).data().toString(), "99");
    EXPECT_EQ(form->controls().tvwWatch->model(), &watches.TreeModel());

    form->commands().Action("mnuOptionsWatches")->trigger();  // unchecked
    Object("Total", "99", 8);
    EXPECT_EQ(watches.ResultCount(), 1);
    form->commands().Action("mnuOptionsWatches")->trigger();
    Object("Total", "99", 9);
    EXPECT_EQ(watches.ResultCount(), 2);

    Run("mnuWatchClearResults");
    EXPECT_EQ(watches.ResultCount(), 0);
    Run("mnuWatchDeleteAll");
    EXPECT_EQ(watches.NodeCount(), 0);
}

TEST_F(PanesWindowTest, AutosFillWhileTheirOptionIsCheckedAndClearAllEmptiesEveryPane) {
    Send(6, "{@F}");
    Object("A", "1", 1);
    viewer::AutosManager& autos = form->AutosManager();
    ASSERT_EQ(autos.NodeCount(), 3);
    EXPECT_EQ(form->controls().tvwAutos->model(), &autos.Model());

    form->commands().Action("mnuOptionsAutos")->trigger();  // unchecked
    Object("A", "2", 2);
    EXPECT_EQ(autos.NodeCount(), 3);
    form->commands().Action("mnuOptionsAutos")->trigger();

    Run("mnuEditClearAutos");
    EXPECT_EQ(autos.NodeCount(), 0);
    Object("A", "3", 3);
    AddWatch("A", 0, "3");
    Object("A", "3", 4);
    EXPECT_EQ(form->WatchManager().ResultCount(), 1);

    Run("mnuEditClearDisplay");  // Clear All
    EXPECT_EQ(form->Viewer().GetDefault().Count(), 0);
    EXPECT_EQ(autos.NodeCount(), 0);
    EXPECT_EQ(form->WatchManager().ResultCount(), 0);
    EXPECT_EQ(form->WatchManager().NodeCount(), 0);
}

TEST_F(PanesWindowTest, LogFilesAreSavedAndOpenedThroughTheFileDialog) {
    QTemporaryDir dir;
    const QString path = dir.filePath("trace.log");
    Send(6, "{@F}");
    Send(0, "inside");
    Send(7, "");
    ChooseFile("Save Logfile", path);
    Run("mnuFileSave");
    ASSERT_TRUE(QFile::exists(path));

    ChooseFile("Open Logfile", QString());  // cancelled: nothing is loaded
    Run("mnuFileOpen");
    EXPECT_EQ(form->Viewer().GetDefault().Count(), 3);

    ChooseFile("Open Logfile", path);
    QAction* open = ToolbarButton(*form->controls().tbrToolbar, QStringLiteral("Open"));
    ASSERT_NE(open, nullptr);
    open->trigger();
    viewer::TraceTree& trace = form->Viewer().GetDefault();
    ASSERT_EQ(trace.Count(), 6);
    EXPECT_EQ(trace.Parent(5), 4);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // the hourglass is gone
    EXPECT_TRUE(boxes.prompts.isEmpty());
}

TEST_F(PanesWindowTest, DeleteLogfileAsksFirstAndDeletesOnlyOnYes) {
    QTemporaryDir dir;
    const QString path = dir.filePath("old.log");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x\r\n");
    }
    auto answer = [](QMessageBox::StandardButton button) {
        OnNextModal([button](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->objectName(), "msgDeleteLogfile");
            box->button(button)->click();
        });
    };
    // The confirmation opens from inside the file dialog's handler; queue it once that closes.
    OnNextModal([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), "Delete Logfile");
        TypeFileName(dialog, path);
        static_cast<QDialog*>(dialog)->accept();
        answer(QMessageBox::No);
    });
    Run("mnuFileDelete");
    EXPECT_TRUE(QFile::exists(path));

    OnNextModal([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        TypeFileName(dialog, path);
        static_cast<QDialog*>(dialog)->accept();
        answer(QMessageBox::Yes);
    });
    Run("mnuFileDelete");
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(PanesWindowTest, ALongLoadShowsTheHourglassAndAProgressWindowUntilItEnds) {
    LogLoadProgress progress(form.get());
    progress.Begin(0);  // the size does not matter (a pipe or a sparse file says little)
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EXPECT_TRUE(progress.Step(1, 1));
    EXPECT_EQ(progress.Window(), nullptr);  // a short load shows the hourglass only
    QElapsedTimer waited;
    waited.start();
    while (!progress.Window() && waited.elapsed() < 10'000) {
        EXPECT_TRUE(progress.Step(1, 1));
        QThread::msleep(10);
    }
    QDialog* window = progress.Window();
    ASSERT_TRUE(window && window->isVisible());
    EXPECT_GE(waited.elapsed(), LogLoadProgress::kShowAfterMs - 60);
    auto* cancel = window->findChild<QPushButton*>("btnCancel");
    ASSERT_TRUE(cancel);
    cancel->click();
    EXPECT_FALSE(progress.Step(2, 2));
    progress.End();
    EXPECT_EQ(progress.Window(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace tw::window
