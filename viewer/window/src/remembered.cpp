#include "tw/window/remembered.hpp"

#include "tw/common/screen_fit.hpp"
#include "tw/window/commands.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/layout.hpp"
#include "tw/window/settings.hpp"

#include <QAction>
#include <QCheckBox>
#include <QDockWidget>
#include <QMenu>
#include <QPointer>
#include <QTimer>

#include <vector>

namespace tw::window {

namespace {

const char* const kOptions[][2] = {{"mnuOptionsAutos", "options/autos"}, {"mnuOptionsWatches", "options/watches"}};
constexpr int kMaxSplitter = 1'000'000;  // twips; the layout clamps it to the window anyway

// Every check mark of the Options and View menus (those other parts of the viewer add as well,
// by their object names) and the quick filter's check boxes, each with its settings key.
struct Check {
    QString key;
    QAction* action = nullptr;
    QCheckBox* box = nullptr;
};

void CollectMenu(QMenu* menu, const QString& prefix, std::vector<Check>& out) {
    if (!menu) return;
    for (QAction* action : menu->actions()) {
        if (action->menu()) {
            CollectMenu(action->menu(), prefix, out);
            continue;
        }
        // A dock's own action follows its dock, which the window's state brings back.
        if (!action->isCheckable() || action->objectName().isEmpty() || qobject_cast<QDockWidget*>(action->parent()))
            continue;
        QString key = prefix + action->objectName();
        for (const auto& [name, fixed] : kOptions)
            if (action->objectName() == QLatin1String(name)) key = QString::fromLatin1(fixed);
        out.push_back({key, action, nullptr});
    }
}

std::vector<Check> Checks(FrmMain& form) {
    std::vector<Check> checks;
    CollectMenu(form.Menu(QStringLiteral("mnuOptions")), QStringLiteral("options/"), checks);
    CollectMenu(form.Menu(QStringLiteral("mnuView")), QStringLiteral("view/"), checks);
    for (QCheckBox* box : form.findChildren<QCheckBox*>()) {
        if (box->objectName().startsWith(QLatin1String("chkQuickFilter")))
            checks.push_back({QStringLiteral("view/") + box->objectName(), nullptr, box});
    }
    return checks;
}

}  // namespace

void RestoreWindowSettings(FrmMain& form) {
    const QByteArray geometry = settings::Bytes(QStringLiteral("window/geometry"));
    // The first window takes two thirds of the screen, centred; a remembered one comes back
    // where it was, kept on the screen (which may have become smaller, or its resolution higher).
    if (geometry.isEmpty() || !form.restoreGeometry(geometry)) FitOnScreen(form, 2.0 / 3.0);
    else KeepOnScreen(form);
    const QByteArray state = settings::Bytes(QStringLiteral("window/state"));
    if (!state.isEmpty()) form.restoreState(state);
    for (const Check& check : Checks(form)) {
        if (check.action) {
            // As if the user chose it, so whatever follows the item's choice (toggled or
            // triggered) follows the restored one.
            const bool want = settings::Bool(check.key, check.action->isChecked());
            if (want != check.action->isChecked()) check.action->trigger();
            if (want != check.action->isChecked()) check.action->setChecked(want);
        } else {
            check.box->setChecked(settings::Bool(check.key, check.box->isChecked()));
        }
    }
    const int splitter = settings::Int(QStringLiteral("window/splitter"), -1, 0, kMaxSplitter);
    if (splitter >= 0) {
        // The layout clamps the splitter to the window's height: place it once that is final.
        form.SizeControlsH(float(splitter));
        QPointer<FrmMain> target(&form);
        QTimer::singleShot(0, &form, [target, splitter] {
            if (target) target->SizeControlsH(float(splitter));
        });
    }
}

void SaveWindowSettings(FrmMain& form) {
    settings::Set(QStringLiteral("window/geometry"), form.saveGeometry());
    settings::Set(QStringLiteral("window/state"), form.saveState());
    settings::Set(QStringLiteral("window/splitter"), qRound(form.layout().geometry().SplitterPosition()));
    // Boxes of the same name (one quick filter per page) are saved as the first of them is.
    QStringList saved;
    for (const Check& check : Checks(form)) {
        if (saved.contains(check.key)) continue;
        saved << check.key;
        settings::Set(check.key, check.action ? check.action->isChecked() : check.box->isChecked());
    }
}

}  // namespace tw::window
