#include "tw/display/numeric_text.hpp"

#include <QCoreApplication>
#include <QLocale>

#include <cmath>

namespace tw::viewer {

std::optional<double> NumericValue(QStringView text) {
    const QString trimmed = TrimBlanks(text);
    if (trimmed.isEmpty()) return std::nullopt;
    // Only plain decimal forms: no hexadecimal, no digit grouping, no currency signs.
    int i = 0;
    const int n = int(trimmed.size());
    const QChar localePoint = QLocale().decimalPoint().isEmpty() ? QChar(u'.') : QLocale().decimalPoint().at(0);
    QString normal;
    normal.reserve(n);
    if (i < n && (trimmed[i] == u'+' || trimmed[i] == u'-')) normal += trimmed[i++];
    int digits = 0;
    while (i < n && trimmed[i].isDigit() && trimmed[i].unicode() < 128) normal += trimmed[i++], ++digits;
    if (i < n && (trimmed[i] == u'.' || trimmed[i] == localePoint)) {
        normal += u'.';
        ++i;
        while (i < n && trimmed[i].isDigit() && trimmed[i].unicode() < 128) normal += trimmed[i++], ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (i < n && (trimmed[i] == u'e' || trimmed[i] == u'E')) {
        normal += u'e';
        ++i;
        if (i < n && (trimmed[i] == u'+' || trimmed[i] == u'-')) normal += trimmed[i++];
        int expDigits = 0;
        while (i < n && trimmed[i].isDigit() && trimmed[i].unicode() < 128) normal += trimmed[i++], ++expDigits;
        if (expDigits == 0) return std::nullopt;
    }
    if (i != n) return std::nullopt;
    bool ok = false;
    const double value = normal.toDouble(&ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

double RoundHalfEven(double value) { return std::nearbyint(value); }

QString TrimBlanks(QStringView text) {
    qsizetype first = 0, last = text.size();
    while (first < last && text[first] == u' ') ++first;
    while (last > first && text[last - 1] == u' ') --last;
    return text.sliced(first, last - first).toString();
}

QString ProgramTitle() { return QCoreApplication::applicationName(); }

}  // namespace tw::viewer
