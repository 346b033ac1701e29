#include "tw/window/remembered.hpp"

#include <QAction>
#include <QPointer>
#include <QTimer>

#include "tw/window/commands.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/layout.hpp"
#include "tw/window/settings.hpp"

namespace tw::window {

namespace {

const char* const kOptions[][2] = {{"mnuOptionsAutos", "options/autos"}, {"mnuOptionsWatches", "options/watches"}};
constexpr int kMaxSplitter = 1'000'000;  // twips; the layout clamps it to the window anyway

}  // namespace

void RestoreWindowSettings(FrmMain& form) {
    const QByteArray geometry = settings::Bytes(QStringLiteral("window/geometry"));
    if (!geometry.isEmpty()) form.restoreGeometry(geometry);
    const QByteArray state = settings::Bytes(QStringLiteral("window/state"));
    if (!state.isEmpty()) form.restoreState(state);
    for (const auto& [name, key] : kOptions) {
        if (QAction* option = form.commands().Action(QString::fromLatin1(name)))
            option->setChecked(settings::Bool(QString::fromLatin1(key), option->isChecked()));
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
    for (const auto& [name, key] : kOptions) {
        if (QAction* option = form.commands().Action(QString::fromLatin1(name)))
            settings::Set(QString::fromLatin1(key), option->isChecked());
    }
}

}  // namespace tw::window
