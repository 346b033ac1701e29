#include "tw/builder/dlg_stepwright.hpp"

#include "tw/builder/object_list_model.hpp"
#include "tw/builder/stepwright_icons.hpp"
#include "tw/common/common.hpp"
#include "tw/common/screen_fit.hpp"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace tw::builder {

namespace {

// Item data of a cboSubReport entry: its indentation level (10 pixels a level).
constexpr int kIndentRole = Qt::UserRole + 1;
constexpr int kIndentPixels = 10;
constexpr int kErrObjectNotSet = 91;
constexpr int kErrInternal = 51;

// The hourglass for the lifetime of the object; unwinding after an error restores the pointer.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Draws the entries of an image combo box indented by their level.
class IndentDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem shifted(option);
        shifted.rect.adjust(index.data(kIndentRole).toInt() * kIndentPixels, 0, 0, 0);
        QStyledItemDelegate::paint(painter, shifted, index);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(index.data(kIndentRole).toInt() * kIndentPixels, 0);
    }
};

// An image combo box that shows its chosen entry indented by the entry's level when closed,
// as the list does when open.
class IndentedComboBox final : public QComboBox {
public:
    using QComboBox::QComboBox;

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionComboBox option;
        initStyleOption(&option);
        painter.drawComplexControl(QStyle::CC_ComboBox, option);
        // The label is drawn in the edit field of a box whose left edge is moved in by the indent.
        const int indent = currentIndex() < 0 ? 0 : itemData(currentIndex(), kIndentRole).toInt() * kIndentPixels;
        option.rect.adjust(qMin(indent, qMax(0, option.rect.width() - 40)), 0, 0, 0);
        painter.drawControl(QStyle::CE_ComboBoxLabel, option);
    }
};

ErrorInfo ErrorOf(const std::exception& e) { return {kErrInternal, QString::fromLocal8Bit(e.what())}; }

}  // namespace

DlgStepwright::DlgStepwright(ProgramInfo info, ApplicationFactory factory, QWidget* parent,
                             ApplicationFactory definitionsOnly)
    : QDialog(parent), m_info(std::move(info)) {
    setObjectName(QStringLiteral("dlgStepwright"));
    setWindowTitle(m_info.title);  // the design caption, until the start-up sets the version
    setAccessibleDescription(m_info.description);
    m_imageList = StepwrightImageList();
    setWindowIcon(m_imageList.at(icons::kReport));
    BuildControls();
    Load(factory, definitionsOnly);
}

DlgStepwright::~DlgStepwright() = default;

void DlgStepwright::SetFileChooser(FileChooser chooser) { m_chooser = std::move(chooser); }

template <class F>
bool DlgStepwright::Guarded(F&& f) {
    ErrorInfo err;
    try {
        f();
        return true;
    } catch (const AppError& e) {
        err = e.info();
    } catch (const std::exception& e) {
        err = ErrorOf(e);
    }
    ShowErrors(m_info.title, nullptr, err);
    return false;
}

void DlgStepwright::BuildControls() {
    auto* layout = new QVBoxLayout(this);

    const char* const messages[3] = {"Choose the Crystal Report you would like to add Debug statements to:",
                                     "Choose a SubReport (if any) to filter Fields/Formulas and Variables:",
                                     "Choose a Debug Command:"};
    for (int i = 0; i < 3; ++i) {
        m_lblMsg[i] = new QLabel(QString::fromLatin1(messages[i]), this);
        m_lblMsg[i]->setObjectName(QStringLiteral("lblMsg_%1").arg(i));
    }

    // The report and its subreports.
    layout->addWidget(m_lblMsg[0]);
    auto* reportRow = new QHBoxLayout;
    m_txtReport = new QLineEdit(this);
    m_txtReport->setObjectName(QStringLiteral("txtReport"));
    m_txtReport->setReadOnly(true);
    m_cmdBrowse = new QPushButton(QStringLiteral("&Browse..."), this);
    m_cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));
    m_cmdBrowse->setAutoDefault(false);
    reportRow->addWidget(m_txtReport, 1);
    reportRow->addWidget(m_cmdBrowse);
    layout->addLayout(reportRow);

    layout->addWidget(m_lblMsg[1]);
    m_cboSubReport = new IndentedComboBox(this);
    m_cboSubReport->setObjectName(QStringLiteral("cboSubReport"));
    m_cboSubReport->setItemDelegate(new IndentDelegate(m_cboSubReport));
    m_cboSubReport->setIconSize(QSize(16, 16));
    layout->addWidget(m_cboSubReport);

    // The four views.
    m_fraView = new QGroupBox(QStringLiteral("View Objects"), this);
    m_fraView->setObjectName(QStringLiteral("fraView"));
    auto* viewRow = new QHBoxLayout(m_fraView);
    auto* viewGroup = new QButtonGroup(this);
    const char* const views[4] = {"&Report Fields", "&Database Fields", "&Formula Fields", "All &Variables"};
    for (int i = 0; i < 4; ++i) {
        m_optView[i] = new QRadioButton(QString::fromLatin1(views[i]), m_fraView);
        m_optView[i]->setObjectName(QStringLiteral("optView_%1").arg(i));
        viewGroup->addButton(m_optView[i], i);
        viewRow->addWidget(m_optView[i]);
        connect(m_optView[i], &QRadioButton::clicked, this, &DlgStepwright::ViewClicked);
    }
    m_optView[0]->setChecked(true);
    layout->addWidget(m_fraView);

    m_model = new ObjectListModel(m_imageList, this);
    m_lvwObjects = new QTreeView(this);
    m_lvwObjects->setObjectName(QStringLiteral("lvwObjects"));
    m_lvwObjects->setRootIsDecorated(false);
    m_lvwObjects->setUniformRowHeights(true);
    m_lvwObjects->setItemsExpandable(false);
    m_lvwObjects->setAllColumnsShowFocus(true);
    m_lvwObjects->setModel(m_model);
    m_lvwObjects->header()->setStretchLastSection(false);
    m_lvwObjects->header()->setSectionsMovable(false);
    layout->addWidget(m_lvwObjects, 3);

    m_chkSelectAll = new QCheckBox(QStringLiteral("Select All"), this);
    m_chkSelectAll->setObjectName(QStringLiteral("chkSelectAll"));
    layout->addWidget(m_chkSelectAll);

    // The command composer.
    layout->addWidget(m_lblMsg[2]);
    auto* commandRow = new QHBoxLayout;
    m_cboDebug = new QComboBox(this);
    m_cboDebug->setObjectName(QStringLiteral("cboDebug"));
    m_cboDebug->setIconSize(QSize(16, 16));
    commandRow->addWidget(m_cboDebug, 1);
    const struct {
        QToolButton** button;
        const char* name;
        const char* tip;
        QIcon icon;
    } buttons[3] = {{&m_btnAdd, "btnAdd", "Add Debug Commands", AddButtonIcon()},
                    {&m_btnClear, "btnClear", "Clear Debug Commands", ClearButtonIcon()},
                    {&m_btnCopy, "btnCopy", "Copy text to clipboard", CopyButtonIcon()}};
    for (const auto& b : buttons) {
        auto* button = new QToolButton(this);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setToolTip(QString::fromLatin1(b.tip));
        button->setIcon(b.icon);
        button->setIconSize(QSize(16, 16));
        *b.button = button;
        commandRow->addWidget(button);
    }
    layout->addLayout(commandRow);

    auto* syntaxRow = new QHBoxLayout;
    auto* syntaxGroup = new QButtonGroup(this);
    const char* const syntaxes[2] = {"Use &Crystal Syntax", "Use &Visual Basic Syntax"};
    for (int i = 0; i < 2; ++i) {
        m_optSyntax[i] = new QRadioButton(QString::fromLatin1(syntaxes[i]), this);
        m_optSyntax[i]->setObjectName(QStringLiteral("optSyntax_%1").arg(i));
        syntaxGroup->addButton(m_optSyntax[i], i);
        syntaxRow->addWidget(m_optSyntax[i]);
    }
    syntaxRow->addStretch(1);
    m_optSyntax[0]->setChecked(true);
    layout->addLayout(syntaxRow);

    m_txtCmd = new QPlainTextEdit(this);
    m_txtCmd->setObjectName(QStringLiteral("txtCmd"));
    QFont courier(QStringLiteral("Courier New"));
    courier.setStyleHint(QFont::TypeWriter);
    m_txtCmd->setFont(courier);
    m_txtCmd->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(m_txtCmd, 2);

    connect(m_cmdBrowse, &QPushButton::clicked, this, &DlgStepwright::Browse);
    connect(m_cboSubReport, &QComboBox::activated, this, [this](int) { RefreshObjectList(); });
    connect(m_chkSelectAll, &QCheckBox::clicked, this, &DlgStepwright::SelectAllClicked);
    connect(m_cboDebug, &QComboBox::activated, this, [this](int) { Compose(); });
    connect(m_btnAdd, &QToolButton::clicked, this, &DlgStepwright::AddClicked);
    connect(m_btnClear, &QToolButton::clicked, this, [this] { m_txtCmd->setPlainText(QString()); });
    connect(m_btnCopy, &QToolButton::clicked, this, &DlgStepwright::CopyClicked);

    resize(620, 680);
    FitOnScreen(*this);
}

void DlgStepwright::Started() {
    for (const CommandTemplate& t : CommandTemplates()) m_cboDebug->addItem(m_imageList.at(t.icon), t.text);
    m_cboDebug->setCurrentIndex(0);
    setWindowTitle(QStringLiteral("Stepwright v%1.%2.%3").arg(m_info.major).arg(m_info.minor).arg(m_info.revision));
}

void DlgStepwright::Load(const ApplicationFactory& factory, const ApplicationFactory& definitionsOnly) {
    ErrorInfo err;
    try {
        m_application = factory ? factory() : nullptr;
        if (!m_application) throw AppError(429, QStringLiteral("ActiveX component can't create object"));
        Started();
        return;
    } catch (const AppError& e) {
        err = e.info();
    } catch (const std::exception& e) {
        err = ErrorOf(e);
    }
    ErrorList errors;
    if (err.number == 429) {
        AddError(QStringLiteral("Crystal Reports"),
                 QStringLiteral("Unable to start the Crystal Reports run time library (craxdrt.dll). "
                                "Please ensure the correct version is installed."),
                 errors);
    } else {
        AddError(QStringLiteral("Runtime error"), QStringLiteral("An error has occurred initializing Stepwright."), errors);
    }
    ShowErrors(m_info.title, &errors, err);
    // Without the engine runtime the dialog still works on report definitions, which the
    // program reads itself.
    if (!definitionsOnly) return;
    try {
        m_application = definitionsOnly();
    } catch (const AppError&) {
        m_application = nullptr;
    }
    if (m_application) Started();
}

QString DlgStepwright::DefaultFileChooser(QWidget* parent) const {
    const QString reports = QStringLiteral("Crystal Reports (*.rpt)");
    const QString definitions = QStringLiteral("Report definitions (*.xml)");
#ifdef Q_OS_WIN
    QString selected = reports;
#else
    QString selected = definitions;  // without the engine runtime only definitions can be opened
#endif
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Select Crystal Report"), QString(),
                                        reports + QStringLiteral(";;") + definitions + QStringLiteral(";;All files (*)"),
                                        &selected);
}

void DlgStepwright::Browse() {
    const QString fileName = m_chooser ? m_chooser(this) : DefaultFileChooser(this);
    if (fileName.isEmpty()) return;
    OpenReportFile(fileName);
}

void DlgStepwright::OpenReportFile(const QString& fileName) {
    bool replaced = false;
    const bool opened = Guarded([&] {
        WaitCursor wait;
        m_txtReport->setText(QDir::toNativeSeparators(QFileInfo(fileName).absoluteFilePath()));
        if (!m_application) {
            throw AppError(kErrObjectNotSet, QStringLiteral("Object variable or With block variable not set "
                                                            "(the Crystal Reports run time library is not running)"));
        }
        const std::shared_ptr<engine::Report> report = m_application->OpenReport(fileName);

        m_cboSubReport->clear();
        m_entryReports.clear();
        replaced = true;
        m_cboSubReport->addItem(m_imageList.at(icons::kReport), QFileInfo(fileName).fileName());
        m_entryReports.push_back(report);

        const auto sections = report->Sections();
        for (int s = 1; s <= sections->Count(); ++s) {
            const auto objects = sections->Item(s)->ReportObjects();
            for (int o = 1; o <= objects->Count(); ++o) {
                const auto object = objects->Item(o);
                if (object->Kind() != engine::kSubreportObject) continue;
                const QString name = object->SubreportName();
                m_cboSubReport->addItem(m_imageList.at(icons::kSubreport), name);
                m_cboSubReport->setItemData(m_cboSubReport->count() - 1, 2, kIndentRole);
                m_entryReports.push_back(nullptr);
                m_entryReports.back() = report->OpenSubreport(name);
            }
        }
    });
    // After a failure the entries added so far stay; the list is rebuilt for the first of them all the
    // same, so that it never shows the objects of the report that was open before. A report that
    // did not open at all leaves the lists empty: the report box names it, not the one before.
    if (opened || replaced) {
        m_cboSubReport->setCurrentIndex(0);
        RefreshObjectList();
    } else {
        m_cboSubReport->clear();
        m_entryReports.clear();
        m_model->Clear();
    }
}

std::shared_ptr<engine::Report> DlgStepwright::EntryReport(int entry) const {
    if (entry < 0 || static_cast<std::size_t>(entry) >= m_entryReports.size()) return nullptr;
    return m_entryReports[static_cast<std::size_t>(entry)];
}

ObjectView DlgStepwright::SelectedView() const {
    for (int i = 0; i < 4; ++i) {
        if (m_optView[i]->isChecked()) return static_cast<ObjectView>(i);
    }
    return ObjectView::ReportFields;
}

void DlgStepwright::RefreshObjectList() {
    std::vector<ObjectRow> rows;
    Guarded([&] {
        WaitCursor wait;
        if (m_cboSubReport->currentIndex() < 0 && m_cboSubReport->count() > 0) m_cboSubReport->setCurrentIndex(0);
        m_model->Clear();
        if (m_cboSubReport->count() == 0) return;

        const ObjectView view = SelectedView();
        const double twipsPerPixel = 1440.0 / logicalDpiX();
        const auto columns = ObjectColumns(view, static_cast<int>(m_lvwObjects->width() * twipsPerPixel));
        m_model->SetColumns(columns);
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const int twips = columns[c].widthTwips < 0 ? kDefaultColumnTwips : columns[c].widthTwips;
            m_lvwObjects->setColumnWidth(static_cast<int>(c), std::max(0, static_cast<int>(twips / twipsPerPixel)));
        }

        const auto report = EntryReport(m_cboSubReport->currentIndex());
        if (!report) {
            throw AppError(kErrObjectNotSet, QStringLiteral("Object variable or With block variable not set "
                                                            "(the subreport %1 could not be opened)")
                                                 .arg(m_cboSubReport->currentText()));
        }
        try {
            BuildObjectRows(*report, view, rows);
        } catch (...) {
            m_model->AppendRows(rows);  // the rows found before the error stay
            throw;
        }
        m_model->AppendRows(rows);
    });
}

void DlgStepwright::ViewClicked() {
    if (m_cboSubReport->count() < 1) return;
    RefreshObjectList();
    SelectAllClicked();
}

void DlgStepwright::SelectAllClicked() { m_model->SetAllChecked(m_chkSelectAll->isChecked()); }

void DlgStepwright::Compose() {
    const int selected = m_cboDebug->currentIndex();
    if (selected < 0) return;
    const FormulaSyntax syntax = m_optSyntax[0]->isChecked() ? FormulaSyntax::Crystal : FormulaSyntax::Basic;
    QString piece =
        ComposeCommands(m_cboDebug->itemText(selected), m_model->CheckedTexts(), syntax, m_txtCmd->toPlainText());
    if (piece.isEmpty()) return;
    // The box keeps its lines with single line feeds; CommandText() gives them back as CR LF.
    piece.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_txtCmd->setPlainText(m_txtCmd->toPlainText() + piece);
    m_txtCmd->moveCursor(QTextCursor::End);
    m_txtCmd->ensureCursorVisible();
}

void DlgStepwright::AddClicked() {
    if (m_cboDebug->count() == 0) return;  // no engine, no commands
    if (m_cboDebug->currentIndex() < 0) m_cboDebug->setCurrentIndex(0);
    Compose();
}

QString DlgStepwright::CommandText() const {
    QString text = m_txtCmd->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

void DlgStepwright::CopyClicked() { QApplication::clipboard()->setText(CommandText()); }

void DlgStepwright::keyPressEvent(QKeyEvent* event) {
    // Escape does not close the Stepwright: it is the program's only window.
    if (event->key() == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace tw::builder
