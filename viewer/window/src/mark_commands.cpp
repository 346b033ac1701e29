#include "tw/window/mark_commands.hpp"

#include "tw/display/marks.hpp"
#include "tw/display/viewer.hpp"
#include "tw/window/commands.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/menu_items.hpp"

#include <QAction>

namespace tw::window {

void ConnectMarkCommands(FrmMain& form) {
    auto* marks = new viewer::Marks(form.Viewer(), &form);
    marks->setObjectName(QStringLiteral("marks"));
    Commands& c = form.commands();
    struct Item {
        const char* name;
        const char* caption;
        const char* shortcut;
    };
    const Item items[] = {{"mnuSearchMarkToggle", "Toggle &Mark", "Ctrl+F2"},
                          {"mnuSearchMarkNext", "Next Mar&k", "F2"},
                          {"mnuSearchMarkPrevious", "Pre&vious Mark", "Shift+F2"},
                          {"mnuSearchMarkClear", "Clear M&arks", ""}};
    QString after = QStringLiteral("mnuSearchJump");
    for (const Item& item : items) {
        const QString name = QString::fromLatin1(item.name);
        QAction* action = c.Add(name, QString::fromLatin1(item.caption), QKeySequence(QString::fromLatin1(item.shortcut)));
        InsertMenuItemAfter(form.Menu(QStringLiteral("mnuSearch")), after, action);
        after = name;
    }
    c.On(QStringLiteral("mnuSearchMarkToggle"), [marks] { marks->Toggle(); });
    c.On(QStringLiteral("mnuSearchMarkNext"), [marks] { marks->Next(); });
    c.On(QStringLiteral("mnuSearchMarkPrevious"), [marks] { marks->Previous(); });
    c.On(QStringLiteral("mnuSearchMarkClear"), [marks] { marks->ClearAll(); });
}

viewer::Marks* MarksOf(FrmMain& form) {
    return form.findChild<viewer::Marks*>(QStringLiteral("marks"), Qt::FindDirectChildrenOnly);
}

}  // namespace tw::window
