#include "tw/display/time_columns.hpp"

#include <QDateTime>

namespace tw::viewer {

namespace {

const char* const kCaptions[] = {"Date", "Time", "Elapsed", "Delta"};

QDateTime LocalOf(qint64 microseconds) {
    // Whole milliseconds towards minus infinity, so times before 1970 keep their digits.
    const qint64 ms = microseconds >= 0 ? microseconds / 1000 : -((-microseconds + 999) / 1000);
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime);
}

}  // namespace

QString TimeColumnCaption(TimeColumn column) { return QString::fromLatin1(kCaptions[int(column)]); }

bool TimeColumnFromCaption(const QString& caption, TimeColumn& column) {
    for (int k = 0; k < 4; ++k) {
        if (caption == QLatin1String(kCaptions[k])) {
            column = TimeColumn(k);
            return true;
        }
    }
    return false;
}

QString LocalDateText(qint64 microseconds) {
    return microseconds ? LocalOf(microseconds).date().toString(Qt::ISODate) : QString();
}

QString LocalTimeText(qint64 microseconds) {
    return microseconds ? LocalOf(microseconds).time().toString(QStringLiteral("HH:mm:ss.zzz")) : QString();
}

QString ElapsedText(qint64 microseconds) {
    const bool negative = microseconds < 0;
    const quint64 us = negative ? quint64(-microseconds) : quint64(microseconds);
    const quint64 ms = us / 1000;
    return QStringLiteral("%1%2:%3:%4.%5")
        .arg(negative ? QStringLiteral("-") : QString())
        .arg(ms / 3600000)
        .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

QString DeltaText(qint64 microseconds) {
    const bool negative = microseconds < 0;
    const quint64 us = negative ? quint64(-microseconds) : quint64(microseconds);
    return QStringLiteral("%1%2.%3")
        .arg(negative ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(us / 1000000)
        .arg(us % 1000000, 6, 10, QLatin1Char('0'));
}

QString TimeColumnText(const TraceTree& tree, int line, TimeColumn column) {
    const qint64 at = tree.ReceivedAt(line);
    if (!at) return {};
    switch (column) {
        case TimeColumn::Date:
            return LocalDateText(at);
        case TimeColumn::Time:
            return LocalTimeText(at);
        case TimeColumn::Elapsed: {
            const qint64 first = tree.ReceivedAt(1);
            return first ? ElapsedText(at - first) : QString();
        }
        case TimeColumn::Delta: {
            if (line == 1) return DeltaText(0);
            const qint64 before = tree.ReceivedAt(line - 1);
            return before ? DeltaText(at - before) : QString();
        }
    }
    return {};
}

}  // namespace tw::viewer
