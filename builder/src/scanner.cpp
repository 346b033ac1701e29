#include "tw/builder/scanner.hpp"

#include "tw/builder/strings.hpp"

namespace tw::builder {

namespace {

bool IsScopeKeyword(const QString& upper) {
    return upper == QLatin1String("GLOBAL") || upper == QLatin1String("LOCAL") ||
           upper == QLatin1String("SHARED");
}

bool IsTypeKeyword(const QString& upper) {
    return upper == QLatin1String("STRINGVAR") || upper == QLatin1String("NUMBERVAR") ||
           upper == QLatin1String("DATEVAR") || upper == QLatin1String("TIMEVAR") ||
           upper == QLatin1String("CURRENCYVAR");
}

}  // namespace

void ScanFormulaVariables(const QString& formulaName, const QStringList* lines, std::vector<ObjectRow>& rows) {
    if (lines == nullptr) return;
    for (const QString& line : *lines) {
        const QStringList tokens = Tokenize(line);
        QString scope;
        QString type;
        QString name;
        const int count = static_cast<int>(tokens.size());
        for (int i = 1; i <= count; ++i) {
            const QString& token = tokens.at(i - 1);
            const QString upper = token.toUpper();
            if (upper == QLatin1String("/")) {
                if (TokenAfter(tokens, i) == QLatin1String("/")) break;  // the rest is a comment
            } else if (upper == QLatin1String(";")) {
                scope.clear();
                type.clear();
                name.clear();
            } else if (IsScopeKeyword(upper)) {
                scope = token;
            } else if (IsTypeKeyword(upper)) {
                type = token;
                if (TokenAfter(tokens, i).toUpper() == QLatin1String("ARRAY")) ++i;
                name = TokenAfter(tokens, i);
                if (scope.isEmpty()) scope = QStringLiteral("Global");
                rows.push_back(ObjectRow{name, icons::kVariable, {formulaName, type, scope}});
                scope.clear();
                type.clear();
                name.clear();
            }
        }
    }
}

}  // namespace tw::builder
