// The formula scanner: SplitLines, Tokenize and the keyword walk on any formula text.
#include "fuzz_check.hpp"
#include "tw/builder/object_rows.hpp"
#include "tw/builder/scanner.hpp"
#include "tw/builder/strings.hpp"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tb = tw::builder;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const QStringList lines = tb::SplitLines(text);
    TW_FUZZ_CHECK(text.isEmpty() == lines.isEmpty());
    const qsizetype crs = text.count(QLatin1Char('\r'));
    TW_FUZZ_CHECK(lines.size() <= crs + 1);
    for (const QString& line : lines) TW_FUZZ_CHECK(!line.contains(QLatin1Char('\r')));
    // A text whose only line ends are CR LF splits into exactly its lines.
    if (!text.isEmpty() && !text.contains(QLatin1Char('\n')) ) {
        TW_FUZZ_CHECK(lines.size() == crs + 1 || text.contains(QStringLiteral("\r\r")));
    }
    QString crlfOnly = text;
    crlfOnly.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    if (!crlfOnly.isEmpty()) {
        crlfOnly.replace(QLatin1Char(';'), QStringLiteral("\r\n"));
        TW_FUZZ_CHECK(tb::SplitLines(crlfOnly).join(QStringLiteral("\r\n")) == crlfOnly);
    }

    std::vector<QStringList> tokensOfLines;
    for (const QString& line : lines) {
        const QStringList tokens = tb::Tokenize(line);
        QString withoutBlanks = line;
        withoutBlanks.remove(QLatin1Char(' '));
        // Tokens cover the line but its blanks, in order; none is empty or holds a blank.
        TW_FUZZ_CHECK(tokens.join(QString()) == withoutBlanks);
        for (int i = 0; i < tokens.size(); ++i) {
            TW_FUZZ_CHECK(!tokens[i].isEmpty() && !tokens[i].contains(QLatin1Char(' ')));
            // Tokens are numbered from 1: the one after number i + 1 is tokens[i + 1].
            TW_FUZZ_CHECK(tb::TokenAfter(tokens, i + 1) == (i + 1 < tokens.size() ? tokens[i + 1] : QString()));
        }
        tokensOfLines.push_back(tokens);
    }

    // Every row names a token of some line (or nothing, for a declaration keyword that ends its
    // line) and carries the formula's name.
    std::vector<tb::ObjectRow> rows;
    const QString formula = QStringLiteral("{@Fuzz}");
    tb::ScanFormulaVariables(formula, &lines, rows);
    for (const auto& row : rows) {
        TW_FUZZ_CHECK(row.icon == tb::icons::kVariable);
        TW_FUZZ_CHECK(!row.subItems.isEmpty() && row.subItems.front() == formula);
        bool found = row.text.isEmpty();
        for (const auto& tokens : tokensOfLines) {
            if (tokens.contains(row.text)) {
                found = true;
                break;
            }
        }
        TW_FUZZ_CHECK(found);
    }
    std::vector<tb::ObjectRow> none;
    tb::ScanFormulaVariables(formula, nullptr, none);
    TW_FUZZ_CHECK(none.empty());
    return 0;
}
