#include "tw/window/menus.hpp"

#include "tw/window/commands.hpp"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace tw::window {
namespace {

enum class Kind { Menu, Submenu, Item, Separator, CheckedItem };

// One row of the menu tree. A Menu row opens a top-level menu, a Submenu row opens a submenu in
// the current menu, and Items are added to the innermost open menu; EndSubmenu closes it.
struct Entry {
    Kind kind;
    const char* name;
    const char* caption;
    const char* shortcut;
};

constexpr const char* kEndSubmenu = "";

const Entry kMenuTree[] = {
    {Kind::Menu, "mnuFile", "&File", ""},
    {Kind::Item, "mnuFileOpen", "&Open Logfile...", "Ctrl+O"},
    {Kind::Item, "mnuFileSave", "&Save Logfile...", "Ctrl+S"},
    {Kind::Separator, "mnuFileBar1", "-", ""},
    {Kind::Item, "mnuFileDelete", "&Delete Logfile...", "Ctrl+D"},
    {Kind::Separator, "mnuFileBar2", "-", ""},
    {Kind::Item, "mnuFilePrint", "&Print...", "Ctrl+P"},
    {Kind::Separator, "mnuFileBar3", "-", ""},
    {Kind::Item, "mnuFileExit", "&Exit", ""},

    {Kind::Menu, "mnuEdit", "&Edit", ""},
    {Kind::Item, "mnuEditStart", "&Start Messaging", ""},
    {Kind::Item, "mnuEditStop", "Sto&p Messaging", ""},
    {Kind::Separator, "mnuEditBar0", "-", ""},
    {Kind::Item, "mnuEditDelete", "&Delete...", "Del"},
    {Kind::Separator, "mnuEditBar1", "-", ""},
    {Kind::Item, "mnuEditClearDisplay", "Clear All", "Shift+Del"},
    {Kind::Item, "mnuEditClearViewer", "Clear Current Viewer", ""},
    {Kind::Item, "mnuEditClearAutos", "Clear Autos Window", ""},
    {Kind::Item, "mnuEditClearScratch", "Clear Scratch Window", ""},
    {Kind::Item, "mnuEditClearWatches", "Clear Watches", ""},

    {Kind::Menu, "mnuSearch", "&Search", ""},
    {Kind::Item, "mnuSearchFind", "&Find...", "Ctrl+F"},
    {Kind::Item, "mnuSearchFindNext", "Find Next", "F3"},
    {Kind::Item, "mnuSearchFilter", "Filter...", ""},
    {Kind::Separator, "mnuSearchBar0", "-", ""},
    {Kind::Item, "mnuSearchBookmark", "&Bookmark Message", "F5"},
    {Kind::Item, "mnuSearchJump", "&Jump to Bookmark", "F6"},
    {Kind::Separator, "mnuSearchBar1", "-", ""},
    {Kind::Item, "mnuSearchGotoRecNo", "&Goto Record Number...", ""},
    {Kind::Separator, "mnuSearchBar2", "-", ""},
    {Kind::Submenu, "mnuSearchBrowse", "Browse", ""},
    {Kind::Item, "mnuSearchBrowseObject", "O&bject", "Ctrl+B"},
    {Kind::Item, "mnuSearchBrowseMessage", "&Message", "Ctrl+M"},
    {Kind::Item, "mnuSearchBrowseNote", "&Note", "Ctrl+N"},
    {Kind::Item, "mnuSearchBrowseError", "&Error", "Ctrl+E"},
    {Kind::Item, "mnuSearchBrowseWarning", "&Warning", "Ctrl+W"},
    {Kind::Item, "mnuSearchBrowseFormula", "&Formula", "Ctrl+U"},
    {Kind::Item, "mnuSearchBrowseCheckPoint", "&CheckPoint", "Ctrl+K"},
    {Kind::Submenu, kEndSubmenu, "", ""},
    {Kind::Item, "mnuSearchBrowseFirst", "First", ""},
    {Kind::Item, "mnuSearchBrowsePrevious", "Previous", ""},
    {Kind::Item, "mnuSearchBrowseNext", "Next", ""},
    {Kind::Item, "mnuSearchBrowseLast", "Last", ""},

    {Kind::Menu, "mnuWatch", "&Watches", ""},
    {Kind::Item, "mnuWatchAdd", "&Add Watch...", ""},
    {Kind::Item, "mnuWatchDelete", "&Delete Watch", ""},
    {Kind::Item, "mnuWatchDeleteAll", "Delete All &Watches", ""},
    {Kind::Separator, "mnuWatchBar0", "-", ""},
    {Kind::Item, "mnuWatchClearResults", "&Clear Watch Results", ""},

    {Kind::Menu, "mnuOptions", "&Options", ""},
    {Kind::CheckedItem, "mnuOptionsAutos", "Autos (performance hit)", ""},
    {Kind::CheckedItem, "mnuOptionsWatches", "Watches (performance hit)", ""},

    {Kind::Menu, "mnuHelp", "&Help", ""},
    {Kind::Item, "mnuHelpContents", "Contents...", ""},
    {Kind::Item, "mnuHelpAbout", "&About...", ""},
};

}  // namespace

void BuildMenus(QMenuBar& bar, Commands& commands) {
    QMenu* top = nullptr;
    QMenu* current = nullptr;
    for (const Entry& e : kMenuTree) {
        const QString name = QString::fromLatin1(e.name);
        const QString caption = QString::fromLatin1(e.caption);
        switch (e.kind) {
            case Kind::Menu:
                top = bar.addMenu(caption);
                top->setObjectName(name);
                current = top;
                break;
            case Kind::Submenu:
                if (name.isEmpty()) {
                    current = top;
                } else {
                    current = current->addMenu(caption);
                    current->setObjectName(name);
                }
                break;
            case Kind::Separator:
                current->addSeparator()->setObjectName(name);
                break;
            case Kind::Item:
            case Kind::CheckedItem: {
                QAction* action = commands.Add(name, caption, QKeySequence(QString::fromLatin1(e.shortcut)));
                if (e.kind == Kind::CheckedItem) {
                    action->setCheckable(true);
                    action->setChecked(true);
                }
                current->addAction(action);
                break;
            }
        }
    }
}

}  // namespace tw::window
