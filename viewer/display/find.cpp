#include "display/find.hpp"

#include "core/trace_pages.hpp"
#include "display/dlg_find.hpp"
#include "display/numeric_text.hpp"
#include "tw/common/common.hpp"

namespace tw::viewer {

void UpperCaseInPlace(QString& text) {
    char16_t* p = reinterpret_cast<char16_t*>(text.data());
    char16_t* const end = p + text.size();
    for (; p != end; ++p) {
        const char16_t c = *p;
        if (c < 0x80) {
            if (c >= u'a' && c <= u'z') *p = char16_t(c - 32);
        } else {
            *p = QChar::toUpper(c);
        }
    }
}

namespace {

// Appends the head of a line text: the record number with at least five digits (a minus sign
// in front when negative), two blanks, the time stamp "HH:MM:mmm", two blanks.
void AppendHead(QString& out, qint32 recordNumber, Stamp stamp) {
    char16_t head[32];
    int n = 0;
    const qint64 record = recordNumber;
    std::uint64_t magnitude = record < 0 ? std::uint64_t(-record) : std::uint64_t(record);
    char16_t digits[20];
    int d = 0;
    do {
        digits[d++] = char16_t(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (record < 0) head[n++] = u'-';
    for (int pad = d; pad < 5; ++pad) head[n++] = u'0';
    while (d) head[n++] = digits[--d];
    head[n++] = u' ';
    head[n++] = u' ';
    const unsigned ms = stamp % 1000, minutesOfDay = stamp / 1000;
    const unsigned h = minutesOfDay / 60, m = minutesOfDay % 60;
    const char16_t time[11] = {char16_t(u'0' + h / 10 % 10), char16_t(u'0' + h % 10), u':',
                               char16_t(u'0' + m / 10),      char16_t(u'0' + m % 10), u':',
                               char16_t(u'0' + ms / 100),    char16_t(u'0' + ms / 10 % 10),
                               char16_t(u'0' + ms % 10),     u' ', u' '};
    for (int i = 0; i < 11; ++i) head[n++] = time[i];
    out.append(reinterpret_cast<const QChar*>(head), n);
}

}  // namespace

LineMatcher::LineMatcher(const SearchOptions& options)
    : m_text(options.text), m_matchCase(options.matchCase), m_wholeLine(options.wholeLine) {
    if (!m_matchCase) UpperCaseInPlace(m_text);
    m_line.reserve(1024);
}

bool LineMatcher::Matches(const TraceTree& tree, int index) {
    const MessageSink& message = tree.Message(index);
    const QStringView body = message.MessageView();
    m_line.resize(0);
    AppendHead(m_line, message.RecordNumber(), tree.StampOf(index));
    if (m_wholeLine && m_line.size() + body.size() != m_text.size()) return false;
    m_line.append(body);
    if (!m_matchCase) UpperCaseInPlace(m_line);
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
