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

QString ComposeCommands(const QString& text, const QStringList& names, FormulaSyntax syntax) {
    const QString ending = syntax == FormulaSyntax::Crystal ? QStringLiteral(";\r\n") : QStringLiteral("\r\n");
    if (!text.contains(QLatin1String("%1"))) return text + ending;

    const bool withValue = text.contains(QLatin1String("%2"));
    QString out;
    for (const QString& name : names) {
        const QString value = QStringLiteral("ToText(") + name + QLatin1Char(')');
        const QString line =
            withValue ? Substitute(text, QLatin1Char('\'') + name + QLatin1Char('\''), value)
                      : Substitute(text, QLatin1Char('\'') + name + QStringLiteral(" = ' + ") + value, QStringLiteral("%2"));
        out += line + ending;
    }
    return out;
}

}  // namespace tw::builder
