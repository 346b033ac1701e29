#include "tw/builder/strings.hpp"

namespace tw::builder {

bool IsAlpha(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
}

bool IsAlphaNumeric(QChar c) {
    const char16_t u = c.unicode();
    return IsAlpha(c) || (u >= '0' && u <= '9');
}

QStringList SplitLines(const QString& text) {
    QStringList lines;
    if (text.isEmpty()) return lines;
    qsizetype start = 0;
    for (;;) {
        const qsizetype cr = text.indexOf(QChar(13), start);
        if (cr < 0) break;
        lines.append(text.mid(start, cr - start));
        // The carriage return and the character after it go; a carriage return that ends the
        // text has nothing after it, so the split simply ends with an empty last line.
        start = qMin(cr + 2, text.size());
    }
    lines.append(text.mid(start));
    return lines;
}

QString ReadWord(const QString& line, int& position) {
    const int first = position;
    int last = first;
    while (last < line.size()) {
        const QChar next = line.at(last);  // character number last + 1
        if (!IsAlphaNumeric(next) && next != QLatin1Char('_')) break;
        ++last;
    }
    position = last;
    return line.mid(first - 1, last - first + 1);
}

QString TokenAfter(const QStringList& tokens, int i) {
    if (i < 0 || i >= tokens.size()) return {};
    return tokens.at(i);
}

QStringList Tokenize(const QString& line) {
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && line.at(begin) == QLatin1Char(' ')) ++begin;
    while (end > begin && line.at(end - 1) == QLatin1Char(' ')) --end;
    const QString trimmed = line.mid(begin, end - begin);

    QStringList tokens;
    int pos = 1;
    const int length = static_cast<int>(trimmed.size());
    while (pos <= length) {
        const QChar c = trimmed.at(pos - 1);
        if (c == QLatin1Char(' ')) {
            // separator only
        } else if (IsAlphaNumeric(c)) {
            tokens.append(ReadWord(trimmed, pos));
        } else {
            tokens.append(QString(c));
        }
        ++pos;
    }
    return tokens;
}

}  // namespace tw::builder
