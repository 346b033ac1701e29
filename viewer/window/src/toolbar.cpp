#include "tw/window/toolbar.hpp"

#include "tw/window/image_list.hpp"

#include <QAction>
#include <QToolBar>

namespace tw::window {
namespace {

struct Button {
    const char* key;  // nullptr for a separator
    const char* toolTip;
    int image;
};

const Button kButtons[] = {
    {"Open", "Open Logfile", icons::Open},
    {"Save", "Save Logfile", icons::Save},
    {nullptr, nullptr, 0},
    {"Print", "Print", icons::Print},
    {nullptr, nullptr, 0},
    {"Start", "Start Messaging", icons::Start},
    {"Stop", "Stop Messaging", icons::Stop},
    {nullptr, nullptr, 0},
    {"Find", "Find", icons::Find},
    {"FindNext", "Find Next", icons::FindNext},
    {"GotoRec", "Goto Record Number", icons::GotoRec},
    {"Filter", "Filter Current Window", icons::Filter},
    {"Watch", "Add Watch", icons::Watch},
    {nullptr, nullptr, 0},
    {"Checkpoint", "Next Checkpoint", icons::Checkpoint},
    {"First", "First Message", icons::First},
    {"Previous", "Previous Message", icons::Previous},
    {"Next", "Next Message", icons::Next},
    {"Last", "Last Message", icons::Last},
};

// The dispatch order of the upper-cased keys; it differs from the order of the buttons.
const struct {
    const char* key;
    const char* command;
} kDispatch[] = {
    {"OPEN", "mnuFileOpen"},
    {"SAVE", "mnuFileSave"},
    {"PRINT", "mnuFilePrint"},
    {"START", "mnuEditStart"},
    {"STOP", "mnuEditStop"},
    {"FIND", "mnuSearchFind"},
    {"FINDNEXT", "mnuSearchFindNext"},
    {"GOTOREC", "mnuSearchGotoRecNo"},
    {"CHECKPOINT", "mnuSearchBrowseCheckPoint"},
    {"FIRST", "mnuSearchBrowseFirst"},
    {"PREVIOUS", "mnuSearchBrowsePrevious"},
    {"NEXT", "mnuSearchBrowseNext"},
    {"LAST", "mnuSearchBrowseLast"},
    {"WATCH", "mnuWatchAdd"},
    {"FILTER", "mnuSearchFilter"},
};

}  // namespace

void BuildToolbar(QToolBar& bar, const ImageList& icons, const std::function<void(const QString&)>& onClick) {
    for (const Button& b : kButtons) {
        if (!b.key) {
            bar.addSeparator();
            continue;
        }
        const QString key = QString::fromLatin1(b.key);
        QAction* action = bar.addAction(icons.Icon(b.image), QString::fromLatin1(b.toolTip));
        action->setToolTip(QString::fromLatin1(b.toolTip));
        action->setData(key);
        QObject::connect(action, &QAction::triggered, &bar, [onClick, key] { onClick(key); });
    }
}

QAction* ToolbarButton(const QToolBar& bar, const QString& key) {
    for (QAction* action : bar.actions()) {
        if (!action->isSeparator() && action->data().toString() == key) return action;
    }
    return nullptr;
}

QString CommandForToolbarKey(const QString& key) {
    const QString upper = key.toUpper();
    for (const auto& d : kDispatch) {
        if (upper == QLatin1String(d.key)) return QString::fromLatin1(d.command);
    }
    return {};
}

}  // namespace tw::window
