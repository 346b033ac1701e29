#include "stepwright_rows.hpp"

#include "tw/builder/object_list_model.hpp"
#include "tw/common/common.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QToolButton>

namespace tw::builder::testing {
namespace {

class RecordedBoxes final : public MessageBoxService {
  public:
    RecordedBoxes() { setMessageBoxes(this); }
    ~RecordedBoxes() override { setMessageBoxes(nullptr); }
    RecordedBoxes(const RecordedBoxes&) = delete;
    RecordedBoxes& operator=(const RecordedBoxes&) = delete;
    void Show(const QString& prompt, const QString& caption, BoxIcon) override {
        shown << caption + QStringLiteral(": ") + prompt;
    }
    QStringList shown;
};

template <class T>
T* Control(const DlgStepwright& dialog, const QString& name) {
    T* control = dialog.findChild<T*>(name);
    if (control == nullptr) qFatal("the Stepwright has no control %s", qPrintable(name));
    return control;
}

}  // namespace

StepwrightDump DumpStepwright(const ApplicationFactory& factory, engine::EngineVersion version,
                              const QString& fileName) {
    RecordedBoxes boxes;
    ProgramInfo info;
    info.engineVersion = version;
    DlgStepwright dialog(info, factory);
    dialog.OpenReportFile(fileName);

    auto* entries = Control<QComboBox>(dialog, QStringLiteral("cboSubReport"));
    auto* commands = Control<QComboBox>(dialog, QStringLiteral("cboDebug"));
    Control<QCheckBox>(dialog, QStringLiteral("chkSelectAll"))->click();  // each view change ticks every row
    StepwrightDump dump;
    QString& out = dump.text;
    out += QStringLiteral("entries: %1\n").arg(entries->count());
    for (int e = 0; e < entries->count(); ++e) {
        // The first entry is the file's name, which differs between a report and its definition.
        out += QStringLiteral("entry %1: %2\n")
                   .arg(e + 1)
                   .arg(e == 0 ? QStringLiteral("(the report)") : entries->itemText(e));
        entries->setCurrentIndex(e);
        emit entries->activated(e);
        for (int v = 0; v < 4; ++v) {
            Control<QRadioButton>(dialog, QStringLiteral("optView_%1").arg(v))->click();
            const ObjectListModel* list = dialog.ObjectList();
            QStringList headers;
            for (const ObjectColumn& c : list->Columns()) headers << c.header;
            out += QStringLiteral("view %1: %2\n").arg(v).arg(headers.join(QStringLiteral(" | ")));
            for (int r = 0; r < list->rowCount(); ++r) {
                const ObjectRow& row = list->Row(r);
                out += QStringLiteral("%1 %2 icon %3")
                           .arg(list->IsChecked(r) ? QStringLiteral("[x]") : QStringLiteral("[ ]"), row.text)
                           .arg(row.icon);
                for (const QString& sub : row.subItems) out += QStringLiteral(" | ") + sub;
                out += QLatin1Char('\n');
            }
            // Every template under Crystal syntax, then the message template under Basic syntax.
            Control<QRadioButton>(dialog, QStringLiteral("optSyntax_0"))->click();
            for (int t = 0; t < commands->count(); ++t) {
                commands->setCurrentIndex(t);
                emit commands->activated(t);
            }
            if (commands->count() > 1) {
                Control<QRadioButton>(dialog, QStringLiteral("optSyntax_1"))->click();
                commands->setCurrentIndex(1);
                emit commands->activated(1);
            }
            out += QStringLiteral("calls:\n") + dialog.CommandText();
            Control<QToolButton>(dialog, QStringLiteral("btnClear"))->click();
        }
    }
    dump.boxes = boxes.shown;
    for (const QString& box : boxes.shown) out += QStringLiteral("box: ") + box + QLatin1Char('\n');
    return dump;
}

}  // namespace tw::builder::testing
