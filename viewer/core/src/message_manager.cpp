#include "tw/core/message_manager.hpp"

#include "tw/common/common.hpp"
#include "tw/core/status_panels.hpp"
#include "tw/core/trace_pages.hpp"

#include <QLocale>

#include <algorithm>

namespace tw::viewer {

namespace {

bool IsEnter(qint32 type) { return EntersLevel(type); }
bool IsExit(qint32 type) { return ExitsLevel(type); }

// The time stamp (UTC hours, minutes, milliseconds) of a receipt time, as the common time
// stamp gives it.
Stamp StampOfMicroseconds(qint64 us) {
    constexpr qint64 kDayMs = 24 * 3600 * 1000;
    qint64 ms = (us >= 0 ? us / 1000 : -((-us + 999) / 1000)) % kDayMs;
    if (ms < 0) ms += kDayMs;
    return PackStamp(int(ms / 3600000), int(ms / 60000 % 60), int(ms % 1000));
}

}  // namespace

StatusPanels::~StatusPanels() = default;

MessageManager::MessageManager(TracePages& pages, StatusPanels* status)
    : m_pages(pages), m_status(status), m_groupSeparator(QLocale().groupSeparator().front()) {}

void MessageManager::SetProcessMessages(bool on) {
    m_processMessages = on;
    if (m_status) m_status->SetListening(on ? QStringLiteral("Ready.") : QStringLiteral("Stopped."), on);
}

int MessageManager::ParentFor(TraceTree& tree, qint32 type, int last) {
    if (last == 0) {
        m_openCalls.clear();
        return 0;
    }
    int parent = 0;
    if (m_nestByCalls) {
        // The innermost call still open (a deleted entry no longer counts).
        int open = 0;
        while (!m_openCalls.empty() && (open = tree.IndexOf(m_openCalls.back())) == 0) m_openCalls.pop_back();
        if (IsExit(type))
            parent = open ? tree.Parent(open) : 0;  // beside its entry
        else
            parent = open;
    } else if (IsEnter(type)) {
        parent = tree.Parent(last);  // a sibling of the last line
    } else if (IsExit(type)) {
        const int p = tree.Parent(last);  // one level above the last line
        parent = p ? tree.Parent(p) : 0;
    } else if (IsEnter(tree.Message(last).MessageType())) {
        parent = last;  // nested under the enter line
    } else {
        parent = tree.Parent(last);
    }
    // Enter lines without exits nest ever deeper; below the deepest level a view can
    // show, new lines stay on that level, beside the lines before them.
    if (parent && tree.Level(parent) >= TraceTree::kMaxLevel) parent = tree.Parent(parent);
    return parent;
}

void MessageManager::CallAppended(TraceTree& tree, qint32 type, int line) {
    if (!m_nestByCalls) return;
    if (IsEnter(type))
        m_openCalls.push_back(tree.Handle(line));
    else if (IsExit(type) && !m_openCalls.empty())
        m_openCalls.pop_back();
}

void MessageManager::SetNestByCalls(bool on) {
    if (on == m_nestByCalls) return;
    m_nestByCalls = on;
    m_openCalls.clear();
    TraceTree& tree = m_pages.GetDefault();
    tree.Renest([&](int line) {
        const qint32 type = tree.Message(line).MessageType();
        const int parent = ParentFor(tree, type, line - 1);
        CallAppended(tree, type, line);
        return parent;
    });
}

void MessageManager::Add(const MessageRef& message) { Add(message, 0, nullptr); }

void MessageManager::Add(const MessageRef& message, qint64 sentAt, const LineOrigin* origin) {
    if (!m_processMessages || !message) return;
    TraceTree& tree = m_pages.GetDefault();
    const qint32 type = message->MessageType();
    const int parent = ParentFor(tree, type, tree.Count());
    // One reading of the clock (an injected one in tests) gives the time stamp and the exact
    // receipt time; a line read from a capture file has its send time instead.
    const qint64 at = sentAt != 0 ? sentAt : tw::CurrentMicroseconds();
    const int line = tree.Append(parent, message, StampOfMicroseconds(at), at, origin);
    CallAppended(tree, type, line);
    if (parent != 0 && !tree.IsExpanded(parent)) tree.SetExpanded(parent, true);
    ShowCount(tree.Count());

    if (m_watchesOn && m_watchHook) m_watchHook(message);
    if (m_autosOn && m_autosHook) m_autosHook(message);
}

void MessageManager::ReserveLines(qint64 more) {
    TraceTree& tree = m_pages.GetDefault();
    tree.Reserve(std::size_t(tree.Count()) + std::size_t(std::max<qint64>(0, more)));
}

void MessageManager::Clear() {
    m_pages.GetCurrent().Clear();
    m_pages.RemoveCurrent();
    if (m_status) m_status->SetMessageCount(QString());
}

void MessageManager::DeleteMessage() {
    TraceTree& tree = m_pages.GetCurrent();
    const int selected = tree.Selected();
    if (selected) tree.RemoveSubtree(selected);
}

void MessageManager::ShowCount(int count) {
    if (!m_status) return;
    // Written over the same text every time, so a stream of messages costs no allocation.
    CountTextInto(count, m_groupSeparator, m_countText);
    m_status->SetMessageCount(m_countText);
}

QString MessageManager::CountText(qint64 count, QChar groupSeparator) {
    QString text;
    CountTextInto(count, groupSeparator, text);
    return text;
}

void MessageManager::CountTextInto(qint64 count, QChar groupSeparator, QString& out) {
    // Format(n, "#,###") followed by " Messages."; zero gives no digits.
    char16_t buffer[40];
    char16_t* const end = buffer + 40;
    const char16_t* tail = u" Messages.";
    char16_t* start = end - 10;
    std::copy(tail, tail + 10, start);
    const bool negative = count < 0;
    start =
        WriteDigitsBefore(start, negative ? quint64(-count) : quint64(count), 0, groupSeparator.unicode());
    if (negative) *--start = u'-';
    out.resize(end - start);
    std::copy(start, end, reinterpret_cast<char16_t*>(out.data()));
}

}  // namespace tw::viewer
