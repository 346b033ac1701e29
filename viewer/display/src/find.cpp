#include "tw/display/find.hpp"

#include "tw/common/common.hpp"
#include "tw/core/trace_pages.hpp"
#include "tw/display/dlg_find.hpp"
#include "tw/display/numeric_text.hpp"

namespace tw::viewer {

namespace {

// Upper-cases n characters in place. Texts of plain ASCII (nearly every trace line) take a
// branch-free loop the compiler vectorises; others go character by character.
void UpperCaseRange(char16_t* p, qsizetype n) {
    char16_t any = 0;
    for (qsizetype i = 0; i < n; ++i) any |= p[i];
    if (any < 0x80) {
        for (qsizetype i = 0; i < n; ++i) {
            const char16_t c = p[i];
            p[i] = char16_t(c - (char16_t(c - u'a') < 26 ? 32 : 0));
        }
        return;
    }
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i];
        if (c < 0x80) {
            if (c >= u'a' && c <= u'z') p[i] = char16_t(c - 32);
        } else {
            p[i] = QChar::toUpper(c);
        }
    }
}

}  // namespace

void UpperCaseInPlace(QString& text) { UpperCaseRange(reinterpret_cast<char16_t*>(text.data()), text.size()); }

namespace {

// Appends the head of a line text: the record number with at least five digits (a minus sign
// in front when negative), two blanks, the time stamp "HH:MM:mmm", two blanks.
void AppendHead(QString& out, qint32 recordNumber, Stamp stamp) {
    AppendLineText(recordNumber, stamp, QStringView(), out);
}

}  // namespace

LineMatcher::LineMatcher(const SearchOptions& options)
    : m_text(options.text), m_matchCase(options.matchCase), m_wholeLine(options.wholeLine) {
    if (!m_matchCase) UpperCaseInPlace(m_text);
    m_line.reserve(1024);
    // The head of a line (record number, time stamp, blanks) holds only these characters.
    const QChar first = m_text.isEmpty() ? QChar(u' ') : m_text[0];
    m_mayStartInHead = first.isDigit() || first == u' ' || first == u':' || first == u'-';
}

bool LineMatcher::Matches(const TraceTree& tree, int index) {
    const MessageSink& message = tree.Message(index);
    const qsizetype bodyLength = message.MessageLength();
    m_line.resize(0);
    if (!m_wholeLine && !m_mayStartInHead) {
        // A match that starts in the head would start with a head character, so the message
        // alone decides.
        message.AppendMessage(m_line);
        if (!m_matchCase) UpperCaseInPlace(m_line);
        return QStringView(m_line).indexOf(QStringView(m_text)) >= 0;
    }
    AppendHead(m_line, message.RecordNumber(), tree.StampOf(index));
    if (m_wholeLine && m_line.size() + bodyLength != m_text.size()) return false;
    const qsizetype headLength = m_line.size();
    message.AppendMessage(m_line);
    // The head holds digits, blanks, colons and a minus sign only: nothing to upper-case.
    if (!m_matchCase) UpperCaseRange(reinterpret_cast<char16_t*>(m_line.data()) + headLength, bodyLength);
    if (m_wholeLine) return QStringView(m_line) == QStringView(m_text);
    return QStringView(m_line).indexOf(QStringView(m_text)) >= 0;
}

int SearchTree(TraceTree& tree, const SearchOptions& options, bool repeat) {
    const int count = tree.Count();
    if (count == 0) return 0;
    int start = tree.Selected();
    if (start == 0) {
        start = 1;
    } else if (repeat) {
        if (options.down && start != count) ++start;
        else if (!options.down && start != 1) --start;
    }
    LineMatcher matcher(options);
    const int step = options.down ? 1 : -1;
    const int stop = options.down ? count + 1 : 0;
    for (int i = start; i != stop; i += step) {
        if (matcher.Matches(tree, i)) {
            tree.Select(i);
            return i;
        }
    }
    return 0;
}

Find::Find(TracePages& pages, QWidget* owner) : m_pages(pages), m_owner(owner) {}

Find::~Find() {
    if (m_ownsDialog) delete m_dlgFind.data();
}

DlgFind& Find::FindDialog() {
    if (!m_dlgFind) {
        m_dlgFind = new DlgFind(m_owner);
        m_ownsDialog = !m_owner;
    }
    return *m_dlgFind;
}

void Find::FindNew() {
    m_repeat = false;
    if (!FindDialog().Ask()) return;
    if (CheckText()) Search();
}

void Find::FindNext() {
    m_repeat = true;
    if (CheckText()) Search();
}

bool Find::CheckText() {
    DlgFind& dialog = FindDialog();
    const QString trimmed = TrimBlanks(dialog.SearchText());
    dialog.SetSearchText(trimmed);
    return !trimmed.isEmpty();
}

void Find::Search() {
    DlgFind& dialog = FindDialog();
    ErrorList messages;
    SearchOptions options;
    options.text = dialog.SearchText();
    options.down = dialog.SearchDown();
    options.matchCase = dialog.MatchCase();
    options.wholeLine = dialog.MatchWholeWord();
    if (SearchTree(m_pages.GetCurrent(), options, m_repeat) != 0) return;
    messages.append(QStringLiteral("Search string not found."));
    ShowMessages(QStringLiteral("Find"), &messages);
}

}  // namespace tw::viewer
