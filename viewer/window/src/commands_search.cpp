// Search menu: navigation, find, bookmark and filters.
//
// The navigator, the search and the bookmark are private to the window: each is created by
// the first command that needs it and kept; the bookmark is dropped whenever the current
// trace page is cleared (Clear Current Viewer, and Clear All through it), so Jump to Bookmark
// then does nothing until a new bookmark is set.

#include "tw/display/bookmark.hpp"
#include "tw/display/dlg_filter.hpp"
#include "tw/display/filter.hpp"
#include "tw/display/find.hpp"
#include "tw/display/navigator.hpp"
#include "tw/display/viewer.hpp"
#include "tw/window/commands.hpp"
#include "tw/window/frm_main.hpp"

#include <QObject>

#include <memory>

namespace tw::window {

namespace {

class SearchObjects : public QObject {
public:
    explicit SearchObjects(FrmMain& form) : QObject(&form), m_form(form) {
        setObjectName(QStringLiteral("searchObjects"));
        connect(&form, &FrmMain::currentViewerCleared, this, [this] { m_bookmark.reset(); });
    }

    viewer::Navigator& Navigator() {
        if (!m_navigator) m_navigator = std::make_unique<viewer::Navigator>(m_form.Viewer(), &m_form);
        return *m_navigator;
    }
    viewer::Find& Find() {
        if (!m_find) m_find = std::make_unique<viewer::Find>(m_form.Viewer(), &m_form);
        return *m_find;
    }
    bool HasFind() const { return m_find != nullptr; }
    viewer::Bookmark& Bookmark() {
        if (!m_bookmark) m_bookmark = std::make_unique<viewer::Bookmark>(m_form.Viewer());
        return *m_bookmark;
    }
    viewer::Bookmark* BookmarkIfAny() const { return m_bookmark.get(); }

    // Filter: a new dialog each time, deleted afterwards; its filter goes to the store.
    void Filter() {
        viewer::DlgFilter dialog(&m_form);
        dialog.exec();
        if (const viewer::Filter* filter = dialog.Filter()) viewer::AddFilter(m_form.Viewer(), *filter);
    }

private:
    FrmMain& m_form;
    std::unique_ptr<viewer::Navigator> m_navigator;
    std::unique_ptr<viewer::Find> m_find;
    std::unique_ptr<viewer::Bookmark> m_bookmark;
};

}  // namespace

void ConnectSearchCommands(FrmMain& form) {
    Commands& c = form.commands();
    auto* s = new SearchObjects(form);

    c.On("mnuSearchFind", [s] { s->Find().FindNew(); });
    // Find Next before any Find... is Find....
    c.On("mnuSearchFindNext", [s] {
        if (s->HasFind()) s->Find().FindNext();
        else s->Find().FindNew();
    });
    c.On("mnuSearchFilter", [s] { s->Filter(); });
    c.On("mnuSearchBookmark", [s] { s->Bookmark().SetBookMark(); });
    c.On("mnuSearchJump", [s] {
        if (auto* bookmark = s->BookmarkIfAny()) bookmark->GetBookMark();
    });
    c.On("mnuSearchGotoRecNo", [s] { s->Navigator().GotoRecordNumber(); });

    // The Browse items and the message type each looks for.
    const std::pair<const char*, qint32> browse[] = {
        {"mnuSearchBrowseObject", 4}, {"mnuSearchBrowseMessage", 0}, {"mnuSearchBrowseNote", 1},
        {"mnuSearchBrowseError", 2},  {"mnuSearchBrowseWarning", 3}, {"mnuSearchBrowseFormula", 6},
        {"mnuSearchBrowseCheckPoint", 14}};
    for (const auto& [name, type] : browse) c.On(QString::fromLatin1(name), [s, t = type] { s->Navigator().BrowseNext(t); });

    c.On("mnuSearchBrowseFirst", [s] { s->Navigator().MoveFirst(); });
    c.On("mnuSearchBrowsePrevious", [s] { s->Navigator().MovePrevious(); });
    c.On("mnuSearchBrowseNext", [s] { s->Navigator().MoveNext(); });
    c.On("mnuSearchBrowseLast", [s] { s->Navigator().MoveLast(); });
}

}  // namespace tw::window
