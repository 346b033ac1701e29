// The Stepwright dialog driven offscreen through its controls.
#include "tw/builder/dlg_stepwright.hpp"

#include "tw/builder/object_list_model.hpp"
#include "tw/builder/xml_engine.hpp"
#include "tw/common/common.hpp"
#include "tw/common/widget_message_boxes.hpp"
#include "tw/testing/message_boxes.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace tw::builder;

namespace {

using RecordingBoxes = tw::test::BoxRecorder;

const QString kDefinitions = QStringLiteral(TW_REPORT_DEFINITIONS_DIR);

#define REQUIRE_DEFINITIONS()                                                                      \
    if (kDefinitions.isEmpty() || !QFile::exists(kDefinitions + QStringLiteral("/Activity.xml"))) \
    GTEST_SKIP() << "report definitions not found (set TW_REPORT_DEFINITIONS_DIR)"

const QString kEngineMissing = QStringLiteral(
    "Crystal Reports: Unable to start the Crystal Reports run time library (craxdrt.dll). "
    "Please ensure the correct version is installed.");

const char* const kApostrophe = R"(<Report Name="">
  <DataDefinition><FormulaFieldDefinitions>
    <FormulaFieldDefinition FormulaName="{@O'Brien}">NumberVar n;</FormulaFieldDefinition>
    <FormulaFieldDefinition FormulaName="{@Plain}">1</FormulaFieldDefinition>
  </FormulaFieldDefinitions></DataDefinition>
  <ReportDefinition><Areas><Area><Sections><Section><ReportObjects>
    <SubreportObject Kind="SubreportObject" SubreportName="Gone" />
  </ReportObjects></Section></Sections></Area></Areas></ReportDefinition>
</Report>)";

class StepwrightDialog : public ::testing::Test {
protected:
    void SetUp() override { tw::setMessageBoxes(&m_boxes); }
    void TearDown() override { tw::setMessageBoxes(nullptr); }

    static ProgramInfo Info() {
        ProgramInfo info;
        info.description = QStringLiteral("Stepwright For Crystal Reports 8.5");
        info.engineVersion = engine::EngineVersion::V85;
        info.major = 3;
        info.minor = 0;
        info.revision = 126;
        return info;
    }

    std::unique_ptr<DlgStepwright> Make(ApplicationFactory factory = [] { return std::make_shared<engine::XmlApplication>(); },
                                        ApplicationFactory definitionsOnly = {}) {
        auto dialog = std::make_unique<DlgStepwright>(Info(), std::move(factory), nullptr, std::move(definitionsOnly));
        dialog->show();
        return dialog;
    }

    template <class T>
    static T* Find(const DlgStepwright& dialog, const char* name) {
        T* widget = dialog.findChild<T*>(QString::fromLatin1(name));
        if (widget == nullptr) ADD_FAILURE() << "no control " << name;
        return widget;
    }

    static void Open(DlgStepwright& dialog, const QString& path) {
        dialog.SetFileChooser([path](QWidget*) { return path; });
        Find<QPushButton>(dialog, "cmdBrowse")->click();
    }

    QString WriteFile(const char* name, const QByteArray& bytes) {
        const QString path = m_dir.filePath(QString::fromLatin1(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }

    static QStringList RowTexts(const DlgStepwright& dialog) {
        QStringList texts;
        const auto* model = dialog.ObjectList();
        for (int r = 0; r < model->rowCount(); ++r) texts << model->Row(r).text;
        return texts;
    }

    static QStringList Headers(const DlgStepwright& dialog) {
        QStringList headers;
        const auto* model = dialog.ObjectList();
        for (int c = 0; c < model->columnCount(); ++c) headers << model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        return headers;
    }

    static int Ticked(const DlgStepwright& dialog) {
        const auto* model = dialog.ObjectList();
        int ticked = 0;
        for (int r = 0; r < model->rowCount(); ++r) ticked += model->IsChecked(r) ? 1 : 0;
        return ticked;
    }

    // Ticks a row the way the user does: make it current and press the space bar.
    static void Tick(const DlgStepwright& dialog, int row) {
        auto* view = Find<QTreeView>(dialog, "lvwObjects");
        view->setFocus();
        view->setCurrentIndex(view->model()->index(row, 0));
        QTest::keyClick(view, Qt::Key_Space);
    }

    // Chooses the entry below the current one of a combo box with the keyboard.
    static void ChooseNext(const DlgStepwright& dialog, const char* combo) {
        auto* box = Find<QComboBox>(dialog, combo);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Down);
    }

    static QStringList EntryTexts(const DlgStepwright& dialog) {
        QStringList texts;
        const auto* combo = Find<QComboBox>(dialog, "cboSubReport");
        for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
        return texts;
    }

    RecordingBoxes m_boxes;
    QTemporaryDir m_dir;
};

}  // namespace

TEST_F(StepwrightDialog, StartUpShowsEveryControlWithItsText) {
    const auto dialog = Make();
    EXPECT_TRUE(m_boxes.boxes.empty());
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Stepwright v3.0.126"));
    EXPECT_EQ(dialog->objectName(), QStringLiteral("dlgStepwright"));
    EXPECT_EQ(dialog->accessibleDescription(), QStringLiteral("Stepwright For Crystal Reports 8.5"));

    EXPECT_EQ(Find<QLabel>(*dialog, "lblMsg_0")->text(),
              QStringLiteral("Choose the Crystal Report you would like to add Debug statements to:"));
    EXPECT_EQ(Find<QLabel>(*dialog, "lblMsg_1")->text(),
              QStringLiteral("Choose a SubReport (if any) to filter Fields/Formulas and Variables:"));
    EXPECT_EQ(Find<QLabel>(*dialog, "lblMsg_2")->text(), QStringLiteral("Choose a Debug Command:"));
    EXPECT_EQ(Find<QPushButton>(*dialog, "cmdBrowse")->text(), QStringLiteral("&Browse..."));
    EXPECT_TRUE(Find<QLineEdit>(*dialog, "txtReport")->text().isEmpty());
    EXPECT_EQ(Find<QComboBox>(*dialog, "cboSubReport")->count(), 0);
    EXPECT_EQ(Find<QGroupBox>(*dialog, "fraView")->title(), QStringLiteral("View Objects"));
    const char* const views[4] = {"&Report Fields", "&Database Fields", "&Formula Fields", "All &Variables"};
    for (int i = 0; i < 4; ++i) {
        const auto* option = Find<QRadioButton>(*dialog, QStringLiteral("optView_%1").arg(i).toLatin1().constData());
        EXPECT_EQ(option->text(), QString::fromLatin1(views[i]));
        EXPECT_EQ(option->isChecked(), i == 0);
    }
    EXPECT_EQ(Find<QTreeView>(*dialog, "lvwObjects")->model()->rowCount(), 0);
    EXPECT_EQ(Find<QCheckBox>(*dialog, "chkSelectAll")->text(), QStringLiteral("Select All"));

    const auto* debug = Find<QComboBox>(*dialog, "cboDebug");
    ASSERT_EQ(debug->count(), 6);
    EXPECT_EQ(debug->currentIndex(), 0);
    EXPECT_EQ(debug->itemText(0), QStringLiteral("DebugSendObject(%1, %2, RecordNumber)"));
    EXPECT_EQ(debug->itemText(5), QStringLiteral("DebugAddCheckPoint()"));
    for (int i = 0; i < 6; ++i) EXPECT_FALSE(debug->itemIcon(i).isNull());
    EXPECT_EQ(Find<QRadioButton>(*dialog, "optSyntax_0")->text(), QStringLiteral("Use &Crystal Syntax"));
    EXPECT_TRUE(Find<QRadioButton>(*dialog, "optSyntax_0")->isChecked());
    EXPECT_EQ(Find<QRadioButton>(*dialog, "optSyntax_1")->text(), QStringLiteral("Use &Visual Basic Syntax"));
    EXPECT_EQ(Find<QPlainTextEdit>(*dialog, "txtCmd")->font().family(), QStringLiteral("Courier New"));
    EXPECT_EQ(Find<QToolButton>(*dialog, "btnAdd")->toolTip(), QStringLiteral("Add Debug Commands"));
    EXPECT_EQ(Find<QToolButton>(*dialog, "btnClear")->toolTip(), QStringLiteral("Clear Debug Commands"));
    EXPECT_EQ(Find<QToolButton>(*dialog, "btnCopy")->toolTip(), QStringLiteral("Copy text to clipboard"));

    // Escape does not close the only window.
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(StepwrightDialog, EngineMissingAtStartUp) {
    const auto dialog = Make([]() -> std::shared_ptr<engine::Application> {
        throw tw::AppError(429, QStringLiteral("ActiveX component can't create object"));
    });
    ASSERT_EQ(m_boxes.boxes.size(), 1u);
    EXPECT_EQ(m_boxes.boxes[0].caption, QStringLiteral("Stepwright"));
    EXPECT_EQ(m_boxes.boxes[0].icon, tw::BoxIcon::Warning);
    EXPECT_EQ(m_boxes.boxes[0].prompt,
              QStringLiteral("[429 - ActiveX component can't create object]\r\n") + kEngineMissing + QStringLiteral("\r\n"));
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Stepwright"));
    EXPECT_EQ(Find<QComboBox>(*dialog, "cboDebug")->count(), 0);

    // The dialog stays usable: Add has no command to compose, Browse fails with its own box.
    Find<QToolButton>(*dialog, "btnAdd")->click();
    EXPECT_TRUE(dialog->CommandText().isEmpty());
    EXPECT_EQ(m_boxes.boxes.size(), 1u);
    Open(*dialog, m_dir.filePath(QStringLiteral("any.xml")));
    ASSERT_EQ(m_boxes.boxes.size(), 2u);
    EXPECT_TRUE(m_boxes.boxes[1].prompt.startsWith(QStringLiteral("[91 - "))) << m_boxes.boxes[1].prompt.toStdString();
    EXPECT_FALSE(m_boxes.boxes[1].prompt.endsWith(QStringLiteral("\r\n")));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// The Windows programs: no engine runtime, but report definitions still open after the box.
TEST_F(StepwrightDialog, EngineMissingDefinitionsStillOpen) {
    REQUIRE_DEFINITIONS();
    const auto dialog = Make([]() -> std::shared_ptr<engine::Application> { throw tw::AppError(429, QStringLiteral("x")); },
                             [] { return std::make_shared<engine::XmlApplication>(); });
    ASSERT_EQ(m_boxes.boxes.size(), 1u);
    EXPECT_TRUE(m_boxes.boxes[0].prompt.endsWith(kEngineMissing + QStringLiteral("\r\n")));
    EXPECT_GT(Find<QComboBox>(*dialog, "cboDebug")->count(), 0);
    EXPECT_TRUE(dialog->windowTitle().startsWith(QStringLiteral("Stepwright v")));
    Open(*dialog, kDefinitions + QStringLiteral("/BOM.xml"));
    EXPECT_EQ(m_boxes.boxes.size(), 1u);
    EXPECT_GT(Find<QComboBox>(*dialog, "cboSubReport")->count(), 0);
}

TEST_F(StepwrightDialog, OtherStartUpErrorsAndAnAbsentEngine) {
    const auto failing = Make([]() -> std::shared_ptr<engine::Application> { throw tw::AppError(-7, QStringLiteral("Out of memory")); });
    ASSERT_EQ(m_boxes.boxes.size(), 1u);
    EXPECT_EQ(m_boxes.boxes[0].prompt,
              QStringLiteral("[-7 - Out of memory]\r\nRuntime error: An error has occurred initializing Stepwright.\r\n"));

    // A factory that yields nothing counts as an engine that cannot be created.
    const auto empty = Make([] { return std::shared_ptr<engine::Application>(); });
    ASSERT_EQ(m_boxes.boxes.size(), 2u);
    EXPECT_TRUE(m_boxes.boxes[1].prompt.startsWith(QStringLiteral("[429 - ")));
    EXPECT_TRUE(m_boxes.boxes[1].prompt.endsWith(kEngineMissing + QStringLiteral("\r\n")));
}

TEST_F(StepwrightDialog, ReportWithSubreports) {
    REQUIRE_DEFINITIONS();
    const auto dialog = Make();
    const QString path = kDefinitions + QStringLiteral("/CustomerEquipmentCard.xml");
    Open(*dialog, path);
    EXPECT_TRUE(m_boxes.boxes.empty());
    EXPECT_EQ(Find<QLineEdit>(*dialog, "txtReport")->text(), QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));

    const auto* entries = Find<QComboBox>(*dialog, "cboSubReport");
    EXPECT_EQ(EntryTexts(*dialog), (QStringList{QStringLiteral("CustomerEquipmentCard.xml"), QStringLiteral("ServiceContracts"),
                                                QStringLiteral("ServiceCalls")}));
    EXPECT_EQ(entries->currentIndex(), 0);
    EXPECT_EQ(entries->itemData(0, Qt::UserRole + 1).toInt(), 0);
    EXPECT_EQ(entries->itemData(2, Qt::UserRole + 1).toInt(), 2);
    EXPECT_EQ(entries->itemIcon(0).cacheKey(), dialog->ImageList().at(10).cacheKey());
    EXPECT_EQ(entries->itemIcon(1).cacheKey(), dialog->ImageList().at(11).cacheKey());

    EXPECT_EQ(Headers(*dialog), QStringList{QStringLiteral("Report Fields")});
    EXPECT_EQ(dialog->ObjectList()->rowCount(), 25);
    const auto* view = Find<QTreeView>(*dialog, "lvwObjects");
    const double twipsPerPixel = 1440.0 / dialog->logicalDpiX();
    EXPECT_NEAR(view->columnWidth(0), (view->width() * twipsPerPixel - 512) / twipsPerPixel, 1.0);

    // Closed, the box shows the chosen entry indented by its level, as the open list does.
    auto inkStart = [entries] {
        const QImage image = const_cast<QComboBox*>(entries)->grab().toImage();
        const int y0 = image.height() / 4, y1 = image.height() * 3 / 4;
        for (int x = 0; x < image.width() / 2; ++x) {
            for (int y = y0; y < y1; ++y) {
                if (qGray(image.pixel(x, y)) < 128) return x;
            }
        }
        return -1;
    };
    ChooseNext(*dialog, "cboSubReport");  // ServiceContracts
    ChooseNext(*dialog, "cboSubReport");  // ServiceCalls
    EXPECT_EQ(entries->currentText(), QStringLiteral("ServiceCalls"));
    const int indented = inkStart();
    auto* box = const_cast<QComboBox*>(entries);
    box->setItemData(2, 0, Qt::UserRole + 1);
    const int unindented = inkStart();
    box->setItemData(2, 2, Qt::UserRole + 1);
    EXPECT_GE(unindented, 0);
    EXPECT_EQ(indented, unindented + 20);
    EXPECT_EQ(dialog->ObjectList()->rowCount(), 15);
    EXPECT_EQ(RowTexts(*dialog).first(), QStringLiteral("{@Title}"));

    Find<QRadioButton>(*dialog, "optView_1")->click();
    EXPECT_EQ(Headers(*dialog), (QStringList{QStringLiteral("Database Fields"), QStringLiteral("Database Tables")}));
    EXPECT_EQ(view->columnWidth(0), qRound(2880 / twipsPerPixel));
    ASSERT_EQ(dialog->ObjectList()->rowCount(), 7);
    EXPECT_EQ(dialog->ObjectList()->Row(0).subItems, QStringList{QStringLiteral("ServiceCalls")});

    Find<QRadioButton>(*dialog, "optView_2")->click();
    EXPECT_EQ(Headers(*dialog), QStringList{QStringLiteral("Formulas")});
    EXPECT_EQ(dialog->ObjectList()->rowCount(), 16);
}

TEST_F(StepwrightDialog, VariablesViewAndSelectAll) {
    REQUIRE_DEFINITIONS();
    const auto dialog = Make();
    Open(*dialog, kDefinitions + QStringLiteral("/Activity.xml"));
    EXPECT_EQ(EntryTexts(*dialog), QStringList{QStringLiteral("Activity.xml")});

    Find<QRadioButton>(*dialog, "optView_3")->click();
    EXPECT_EQ(Headers(*dialog), (QStringList{QStringLiteral("Variable"), QStringLiteral("Formula"), QStringLiteral("Type"),
                                             QStringLiteral("Scope")}));
    ASSERT_EQ(dialog->ObjectList()->rowCount(), 2);
    EXPECT_EQ(dialog->ObjectList()->Row(1).subItems,
              (QStringList{QStringLiteral("{@StartTime}"), QStringLiteral("stringvar"), QStringLiteral("Global")}));
    EXPECT_EQ(Ticked(*dialog), 0);

    auto* selectAll = Find<QCheckBox>(*dialog, "chkSelectAll");
    selectAll->click();
    EXPECT_EQ(Ticked(*dialog), 2);
    // A view change ticks every new row ...
    Find<QRadioButton>(*dialog, "optView_2")->click();
    EXPECT_EQ(Ticked(*dialog), 91);
    // ... choosing the (only) entry again or opening a report does not.
    auto* entries = Find<QComboBox>(*dialog, "cboSubReport");
    emit entries->activated(0);
    EXPECT_EQ(dialog->ObjectList()->rowCount(), 91);
    EXPECT_EQ(Ticked(*dialog), 0);
    Find<QRadioButton>(*dialog, "optView_0")->click();
    EXPECT_EQ(Ticked(*dialog), 53);
    Open(*dialog, kDefinitions + QStringLiteral("/BOM.xml"));
    EXPECT_EQ(dialog->ObjectList()->rowCount(), 38);
    EXPECT_EQ(Ticked(*dialog), 0);
    selectAll->click();  // unticking the box clears every mark
    EXPECT_EQ(Ticked(*dialog), 0);
    EXPECT_TRUE(m_boxes.boxes.empty());
}

TEST_F(StepwrightDialog, ComposeCopyAndClearThroughTheControls) {
    const auto dialog = Make();
    Open(*dialog, WriteFile("quotes.xml", kApostrophe));
    m_boxes.boxes.clear();  // the missing subreport's box is tested below
    Find<QRadioButton>(*dialog, "optView_2")->click();
    ASSERT_EQ(RowTexts(*dialog), (QStringList{QStringLiteral("{@O'Brien}"), QStringLiteral("{@Plain}")}));

    auto* text = Find<QPlainTextEdit>(*dialog, "txtCmd");
    text->setFocus();
    QTest::keyClicks(text, QStringLiteral("// mine"));
    QTest::keyClick(text, Qt::Key_Return);

    // Nothing ticked: the drop-down appends nothing for a template with a name in it.
    ChooseNext(*dialog, "cboDebug");  // DebugSendMsgEx
    EXPECT_EQ(dialog->CommandText(), QStringLiteral("// mine\r\n"));

    Tick(*dialog, 1);
    Tick(*dialog, 0);
    Find<QToolButton>(*dialog, "btnAdd")->click();
    Find<QToolButton>(*dialog, "btnAdd")->click();
    const QString twice = QStringLiteral(
        "DebugSendMsgEx('{@O''Brien} = ' + ToText({@O'Brien}), RecordNumber);\r\n"
        "DebugSendMsgEx('{@Plain} = ' + ToText({@Plain}), RecordNumber);\r\n");
    EXPECT_EQ(dialog->CommandText(), QStringLiteral("// mine\r\n") + twice + twice);

    Find<QRadioButton>(*dialog, "optSyntax_1")->click();
    auto* debug = Find<QComboBox>(*dialog, "cboDebug");
    debug->setFocus();
    QTest::keyClick(debug, Qt::Key_End);  // the check point, once whatever is ticked
    EXPECT_TRUE(dialog->CommandText().endsWith(
        twice + QStringLiteral("Dim traceResult As String\r\ntraceResult = DebugAddCheckPoint()\r\n")));
    QTest::keyClick(debug, Qt::Key_Home);  // declared once
    EXPECT_TRUE(dialog->CommandText().endsWith(QStringLiteral(
        "traceResult = DebugAddCheckPoint()\r\n"
        "traceResult = DebugSendObject(\"{@O'Brien}\", ToText({@O'Brien}), RecordNumber)\r\n"
        "traceResult = DebugSendObject(\"{@Plain}\", ToText({@Plain}), RecordNumber)\r\n")));

    // Changing the view leaves the text alone.
    const QString before = dialog->CommandText();
    Find<QRadioButton>(*dialog, "optView_0")->click();
    EXPECT_EQ(dialog->CommandText(), before);

    Find<QToolButton>(*dialog, "btnCopy")->click();
    EXPECT_EQ(QApplication::clipboard()->text(), before);

    Find<QToolButton>(*dialog, "btnClear")->click();
    EXPECT_TRUE(text->toPlainText().isEmpty());
    Find<QToolButton>(*dialog, "btnCopy")->click();
    EXPECT_EQ(QApplication::clipboard()->text(), QString());
    EXPECT_TRUE(m_boxes.boxes.empty());
}

TEST_F(StepwrightDialog, BadFilesGiveOneBoxAndTheDialogGoesOn) {
    REQUIRE_DEFINITIONS();
    const auto dialog = Make();
    Open(*dialog, kDefinitions + QStringLiteral("/BOM.xml"));
    ASSERT_EQ(dialog->ObjectList()->rowCount(), 38);

    QFile whole(kDefinitions + QStringLiteral("/Activity.xml"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QString missing = m_dir.filePath(QStringLiteral("missing.xml"));
    const struct {
        QString path;
        QString prompt;  // empty: starts with [321 -
    } cases[] = {
        {missing, QStringLiteral("[53 - File not found: %1]").arg(QDir::toNativeSeparators(missing))},
        {WriteFile("Sales.rpt", QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)), QStringLiteral("[31001 - ")},
        {WriteFile("cut.xml", whole.readAll().left(40000)), QStringLiteral("[321 - ")},
        {WriteFile("nosections.xml", "<Report Name=\"\"><Database/></Report>"), QStringLiteral("[321 - ")},
        {WriteFile("junk.xml", "\x01\x02garbage"), QStringLiteral("[321 - ")},
    };
    for (const auto& c : cases) {
        m_boxes.boxes.clear();
        Open(*dialog, c.path);
        ASSERT_EQ(m_boxes.boxes.size(), 1u) << c.path.toStdString();
        EXPECT_EQ(m_boxes.boxes[0].caption, QStringLiteral("Stepwright"));
        EXPECT_TRUE(m_boxes.boxes[0].prompt.startsWith(c.prompt)) << m_boxes.boxes[0].prompt.toStdString();
        EXPECT_TRUE(m_boxes.boxes[0].prompt.endsWith(QLatin1Char(']')));
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        // The box names the file that failed: no entry or row of the report before stays.
        EXPECT_EQ(Find<QLineEdit>(*dialog, "txtReport")->text(), QDir::toNativeSeparators(QFileInfo(c.path).absoluteFilePath()));
        EXPECT_TRUE(EntryTexts(*dialog).isEmpty());
        EXPECT_EQ(dialog->ObjectList()->rowCount(), 0);
        Open(*dialog, kDefinitions + QStringLiteral("/BOM.xml"));
        m_boxes.boxes.clear();
    }

    // An empty choice (the file dialog cancelled) does nothing.
    m_boxes.boxes.clear();
    Open(*dialog, QString());
    EXPECT_TRUE(m_boxes.boxes.empty());
    Open(*dialog, kDefinitions + QStringLiteral("/Activity.xml"));
    EXPECT_TRUE(m_boxes.boxes.empty());
    EXPECT_EQ(dialog->ObjectList()->rowCount(), 53);
}

TEST_F(StepwrightDialog, SubreportThatCannotBeOpened) {
    REQUIRE_DEFINITIONS();
    const auto dialog = Make();
    Open(*dialog, kDefinitions + QStringLiteral("/BOM.xml"));
    Open(*dialog, WriteFile("gone.xml", kApostrophe));
    ASSERT_EQ(m_boxes.boxes.size(), 1u);
    EXPECT_TRUE(m_boxes.boxes[0].prompt.startsWith(QStringLiteral("[9 - "))) << m_boxes.boxes[0].prompt.toStdString();
    // The entries added so far stay, and the list shows the new report, not the one before.
    EXPECT_EQ(EntryTexts(*dialog), (QStringList{QStringLiteral("gone.xml"), QStringLiteral("Gone")}));
    EXPECT_EQ(Find<QComboBox>(*dialog, "cboSubReport")->currentIndex(), 0);
    EXPECT_EQ(dialog->ObjectList()->rowCount(), 0);  // no field objects in it
    EXPECT_EQ(Headers(*dialog), QStringList{QStringLiteral("Report Fields")});

    ChooseNext(*dialog, "cboSubReport");
    ASSERT_EQ(m_boxes.boxes.size(), 2u);
    EXPECT_TRUE(m_boxes.boxes[1].prompt.startsWith(QStringLiteral("[91 - ")));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Browse on a named pipe called *.xml gives the box at once (nothing waits for a writer), and
// a page that is not a report definition names both elements in the box, shown as plain text.
TEST_F(StepwrightDialog, APipeAndMarkupInTheBoxAreHandledSafely) {
    const auto dialog = Make();
    const QString fifo = m_dir.filePath(QStringLiteral("pipe.xml"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QElapsedTimer timer;
    timer.start();
    Open(*dialog, fifo);
    EXPECT_LT(timer.elapsed(), 5000);
    ASSERT_EQ(m_boxes.boxes.size(), 1u);
    EXPECT_EQ(m_boxes.boxes[0].prompt,
              QStringLiteral("[75 - Path/File access error: %1 is a named pipe (FIFO), not a file.]").arg(fifo));

    tw::installWidgetMessageBoxes();
    tw::setMessageBoxes(nullptr);
    QString shown;
    bool plain = false;
    auto* poll = new QTimer();
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, poll, [&, poll] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        poll->stop();
        poll->deleteLater();
        auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        if (label) {
            shown = label->text();
            plain = label->textFormat() == Qt::PlainText;
        }
        box->button(QMessageBox::Ok)->click();
    });
    poll->start();
    Open(*dialog, WriteFile("page.xml", "<html><body>not a report</body></html>"));
    EXPECT_TRUE(plain);
    EXPECT_TRUE(shown.contains(QStringLiteral("<html>"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("<Report>"))) << shown.toStdString();
}
