#pragma once
// dlgStepwright: the Stepwright's one window. The upper half opens a report through the engine and
// lists its objects; the lower half composes formula-function calls for the ticked rows.

#include "tw/builder/composer.hpp"
#include "tw/builder/engine.hpp"
#include "tw/builder/object_rows.hpp"

#include <QDialog>
#include <QIcon>
#include <QList>

#include <functional>
#include <memory>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QToolButton;
class QTreeView;

namespace tw::builder {

class ObjectListModel;

// What tells the two builds apart.
struct ProgramInfo {
    QString title = QStringLiteral("Stepwright");
    QString description;  // "Stepwright For Crystal Reports 9" or "... 8.5"
    engine::EngineVersion engineVersion = engine::EngineVersion::V9;
    int major = 0;
    int minor = 0;
    int revision = 0;
};

// Creates the engine's Application at start; throws tw::AppError (429: the runtime is missing).
using ApplicationFactory = std::function<std::shared_ptr<engine::Application>()>;
// Asks the user for a report file; the empty text means none was chosen.
using FileChooser = std::function<QString(QWidget* parent)>;

class DlgStepwright final : public QDialog {
    Q_OBJECT
public:
    // Builds the controls and runs the start-up: creates the Application, fills the command list and
    // sets the caption. A failure shows its error box; the dialog then works without an engine, or,
    // when `definitionsOnly` is given, with the Application it makes (report definitions need no
    // engine runtime).
    DlgStepwright(ProgramInfo info, ApplicationFactory factory, QWidget* parent = nullptr,
                  ApplicationFactory definitionsOnly = {});
    ~DlgStepwright() override;

    // Replaces the file-open dialog (tests choose files without a modal box).
    void SetFileChooser(FileChooser chooser);

    // Opens a report as Browse does after its file dialog (the program's command-line argument).
    void OpenReportFile(const QString& fileName);

    // Rebuilds lvwObjects for the selected cboSubReport entry and the selected view.
    void RefreshObjectList();

    // The whole text of txtCmd, lines ended by CR LF: what Copy puts on the clipboard.
    QString CommandText() const;

    const ProgramInfo& Info() const { return m_info; }
    ObjectListModel* ObjectList() const { return m_model; }
    // The image list (imgIcons), indexed as the icons:: constants.
    const QList<QIcon>& ImageList() const { return m_imageList; }
    // The dialog's tag of a cboSubReport entry (null when it could not be opened).
    std::shared_ptr<engine::Report> EntryReport(int entry) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildControls();
    void Load(const ApplicationFactory& factory, const ApplicationFactory& definitionsOnly);
    void Started();
    void Browse();
    void ViewClicked();
    void SelectAllClicked();
    void Compose();
    void AddClicked();
    void CopyClicked();
    ObjectView SelectedView() const;
    QString DefaultFileChooser(QWidget* parent) const;
    // Runs f; an error restores the mouse pointer and shows the bracketed error text.
    template <class F>
    bool Guarded(F&& f);

    ProgramInfo m_info;
    std::shared_ptr<engine::Application> m_application;
    std::vector<std::shared_ptr<engine::Report>> m_entryReports;  // parallel to cboSubReport's entries
    QList<QIcon> m_imageList;
    FileChooser m_chooser;

    QLabel* m_lblMsg[3] = {};
    QLineEdit* m_txtReport = nullptr;
    QPushButton* m_cmdBrowse = nullptr;
    QComboBox* m_cboSubReport = nullptr;
    QGroupBox* m_fraView = nullptr;
    QRadioButton* m_optView[4] = {};
    QTreeView* m_lvwObjects = nullptr;
    ObjectListModel* m_model = nullptr;
    QCheckBox* m_chkSelectAll = nullptr;
    QComboBox* m_cboDebug = nullptr;
    QRadioButton* m_optSyntax[2] = {};
    QPlainTextEdit* m_txtCmd = nullptr;
    QToolButton* m_btnAdd = nullptr;
    QToolButton* m_btnClear = nullptr;
    QToolButton* m_btnCopy = nullptr;
};

}  // namespace tw::builder
