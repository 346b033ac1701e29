#pragma once
// A filter over trace lines (record-number range, text expressions, message types) and its
// application to the current page: painting the matching lines, or copying them into a new
// filter page.

#include "tw/core/trace_tree.hpp"

#include <QString>
#include <QStringList>

#include <vector>

namespace tw::viewer {

class TracePages;

// The largest record number a filter range accepts.
inline constexpr int kMaxFilterRecord = 1000000;
// The highlight colour the filter dialog starts with (light green).
inline constexpr Colour kDefaultFilterColour = 0x0080FF80u;

class Filter {
public:
    Filter() = default;

    const QString& FilterName() const { return m_filterName; }
    const QString& MessageFilter() const { return m_messageFilter; }
    double FromRecord() const { return m_fromRecord; }
    double ToRecord() const { return m_toRecord; }
    bool FilterCurrent() const { return m_filterCurrent; }
    Colour FilterColour() const { return m_filterColour; }
    bool CheckCase() const { return m_checkCase; }
    // The ticked message-type codes, in the order given; empty means no type test.
    const std::vector<qint16>& MessageTypes() const { return m_messageTypes; }

    // Checks the values as the user typed them; when every check passes stores them and
    // returns true. Otherwise shows every failed check in one warning box (caption: the
    // program's title), stores nothing and returns false.
    bool Create(const QString& name, const QString& messageFilter, bool checkCase, const QString& fromRecord,
                const QString& toRecord, const std::vector<qint16>& messageTypes, bool filterCurrent,
                Colour colour);
    // The same checks without showing anything: the failed items, empty when all passed.
    static QStringList Check(const QString& name, const QString& messageFilter, const QString& fromRecord,
                             const QString& toRecord, const std::vector<qint16>& messageTypes, bool filterCurrent);

    // The text expressions of MessageFilter: its parts between ";" when the first ";" is at
    // the second character or later; otherwise the whole text as one expression.
    QStringList Expressions() const;

private:
    QString m_filterName;
    QString m_messageFilter;
    double m_fromRecord = 0;
    double m_toRecord = 0;
    bool m_filterCurrent = false;
    Colour m_filterColour = 0;
    bool m_checkCase = false;
    std::vector<qint16> m_messageTypes;
};

// Applies a filter to the current page: with FilterCurrent the matching lines get the
// filter's background colour; otherwise they are copied, as top-level lines, into the lowest
// free filter page, opened with the filter's name and selected. With no free page nothing
// happens. Returns the number of matching lines (-1 when there was no page to copy into).
int AddFilter(TracePages& pages, const Filter& filter);

}  // namespace tw::viewer
