// The believable mix of lines the display and filter benchmarks fill their pages with, as the
// store files it: formula entries and exits around messages, objects, notes and check points;
// every 10th message mentions a disk and is an error.
#pragma once

#include "tw/core/message_sink.hpp"

#include <QString>

namespace tw::viewer {

inline MessageRef BelievableMixLine(int i) {
    if (i % 10 == 0) return MessageSink::CreateEx(2, i, QStringLiteral("Disk quota reached at record %1").arg(i));
    switch (i % 8) {
        case 0: return MessageSink::CreateEx(6, i, u"{@Total}");
        case 7: return MessageSink::CreateEx(7, i, u"{@Total}");
        case 3: return MessageSink::CreateEx(4, i, QStringLiteral("Total = %1").arg(i * 7), u"Total");
        case 5: return MessageSink::CreateEx(14, i, u"checkpoint");
        default: return MessageSink::CreateEx(0, i, QStringLiteral("record %1 computed").arg(i));
    }
}

}  // namespace tw::viewer
