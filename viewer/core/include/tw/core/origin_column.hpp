#pragma once
// Where the lines of a trace came from when they were read from files, kept beside the lines.

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

namespace tw::viewer {

// The file a line was read from and, for a line of a capture file, the process and thread
// that sent its message (0 when not known: a log file's line).
struct LineOrigin {
    QString file;  // absolute path
    quint32 processId = 0;
    quint32 threadId = 0;
    friend bool operator==(const LineOrigin& a, const LineOrigin& b) {
        return a.processId == b.processId && a.threadId == b.threadId && a.file == b.file;
    }
};
size_t qHash(const LineOrigin& origin, size_t seed = 0) noexcept;

// The origins of a run of lines: a small index a line into a table of the distinct origins.
// Nothing is kept until the first line with an origin arrives (received lines have none), and
// then 2 bytes a line (4 once there are more than 65,535 distinct origins).
class OriginColumn {
public:
    // Appends the origin of the next line, line (0-based) being the number of lines before it;
    // nullptr for a line without one.
    void Push(std::size_t line, const LineOrigin* origin);
    // The origin of a line (0-based), nullptr when it has none.
    const LineOrigin* At(std::size_t line) const;
    void Erase(std::size_t first, std::size_t last);  // removes [first, last)
    void Clear();
    std::size_t Bytes() const;

    // How many sources (a file, or one process of a capture file) lines came from since the
    // last Clear: a trace of more than one shows them in a column.
    int SourceCount() const { return int(m_sources.size()); }
    // What the Source column shows for an origin: the file's name, followed by the process id
    // for a captured line; the whole path where two files of the same name were read.
    QString SourceText(const LineOrigin& origin) const;
    // The texts of every source, in no particular order (to size the column).
    QStringList SourceTexts() const;

private:
    std::uint32_t Intern(const LineOrigin& origin);
    std::size_t Size() const { return m_wide.empty() ? m_narrow.size() : m_wide.size(); }

    std::deque<LineOrigin> m_table;  // index k + 1 names m_table[k]; 0 means none
    QHash<LineOrigin, std::uint32_t> m_lookup;
    QSet<std::pair<QString, quint32>> m_sources;  // (file, process)
    QHash<QString, QString> m_pathOfName;         // file name to the first path read under it
    QSet<QString> m_sharedNames;                  // names more than one path was read under
    std::vector<std::uint16_t> m_narrow;          // the column while indices fit
    std::vector<std::uint32_t> m_wide;            // the column after
    bool m_started = false;
    std::uint32_t m_lastIndex = 0;  // the index of the last origin interned, for runs of one
};

}  // namespace tw::viewer
