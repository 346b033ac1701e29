#include "tw/builder/composer.hpp"

#include "tw/builder/object_rows.hpp"

namespace tw::builder {

const QList<CommandTemplate>& CommandTemplates() {
    static const QList<CommandTemplate> kTemplates = {
        {QStringLiteral("DebugSendObject(%1, %2, RecordNumber)"), icons::kReport},
        {QStringLiteral("DebugSendMsgEx(%1, RecordNumber)"), icons::kMessage},
        {QStringLiteral("DebugSendNoteEx(%1, RecordNumber)"), icons::kNote},
        {QStringLiteral("DebugSendErrorEx(%1, RecordNumber)"), icons::kError},
        {QStringLiteral("DebugSendWarningEx(%1, RecordNumber)"), icons::kWarning},
        {QStringLiteral("DebugAddCheckPoint()"), icons::kCheckPoint},
    };
    return kTemplates;
}

namespace {

// Replaces every "%1" and "%2" of text in one pass, so that a name that itself holds "%2" is
// inserted unchanged.
QString Substitute(const QString& text, const QString& one, const QString& two) {
    QString out;
    out.reserve(text.size() + one.size() + two.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('%') && i + 1 < text.size()) {
            const QChar digit = text.at(i + 1);
            if (digit == QLatin1Char('1')) {
                out += one;
                ++i;
                continue;
            }
            if (digit == QLatin1Char('2')) {
                out += two;
                ++i;
                continue;
            }
        }
        out += text.at(i);
    }
    return out;
}

}  // namespace

namespace {

QString StringLiteral(const QString& text, FormulaSyntax syntax) {
    const QChar quote = syntax == FormulaSyntax::Crystal ? QLatin1Char('\'') : QLatin1Char('"');
    QString doubled = text;
    doubled.replace(quote, QString(2, quote));
    return quote + doubled + quote;
}

}  // namespace

bool HoldsDeclaration(const QString& text) {
    for (const QString& line : text.split(QLatin1Char('\n')))
        if (line.trimmed().compare(kBasicDeclaration, Qt::CaseInsensitive) == 0) return true;
    return false;
}

QString ComposeCommands(const QString& text, const QStringList& names, FormulaSyntax syntax, const QString& existing) {
    const bool basic = syntax == FormulaSyntax::Basic;
    const QString ending = basic ? QStringLiteral("\r\n") : QStringLiteral(";\r\n");
    // Basic syntax takes only statements that do something: the call's (empty) result is
    // assigned to a variable, declared once before the first call.
    const QString prefix = basic ? QString::fromLatin1(kBasicResultVariable) + QStringLiteral(" = ") : QString();
    const QString declaration = basic && !HoldsDeclaration(existing) ? kBasicDeclaration + QStringLiteral("\r\n") : QString();
    if (!text.contains(QLatin1String("%1"))) return declaration + prefix + text + ending;

    const bool withValue = text.contains(QLatin1String("%2"));
    QString out;
    for (const QString& name : names) {
        const QString value = QStringLiteral("ToText(") + name + QLatin1Char(')');
        const QString line = withValue ? Substitute(text, StringLiteral(name, syntax), value)
                                       : Substitute(text, StringLiteral(name + QStringLiteral(" = "), syntax) +
                                                              QStringLiteral(" + ") + value,
                                                    QStringLiteral("%2"));
        out += prefix + line + ending;
    }
    return out.isEmpty() ? out : declaration + out;
}

}  // namespace tw::builder
