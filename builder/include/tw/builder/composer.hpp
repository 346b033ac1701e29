#pragma once
// The debug command composer: formula-function calls for the ticked rows of the object list.

#include <QString>
#include <QStringList>

namespace tw::builder {

// The formula syntax the composed calls are written for. Crystal syntax: the call as a
// statement, strings in apostrophes (one inside doubled), a closing semicolon. Basic syntax
// (modelled on Visual Basic): strings in double quotes (one inside doubled), no semicolon, and,
// since a statement there must do something, the call's empty result assigned to a String
// variable declared once (kBasicDeclaration) before the first call.
enum class FormulaSyntax { Crystal = 0, Basic = 1 };

inline constexpr const char* kBasicResultVariable = "traceResult";
inline const QString kBasicDeclaration = QStringLiteral("Dim traceResult As String");

struct CommandTemplate {
    QString text;  // "%1" stands for the row's name as text, "%2" for its value
    int icon = 0;  // index into the Stepwright's image list
};

// The six command templates, in list order.
const QList<CommandTemplate>& CommandTemplates();

// The text to append for template text: one line per name (the ticked rows' texts, in list order)
// when it holds "%1", otherwise the template once. Each line ends in ";" under Crystal syntax and
// then CR LF. Names go into the code as they are, and into string literals quoted for the
// syntax. Under Basic syntax the declaration comes first unless `existing` (the text the lines
// are appended to) already holds it.
QString ComposeCommands(const QString& text, const QStringList& names, FormulaSyntax syntax,
                        const QString& existing = {});

// Whether text holds the Basic-syntax declaration line.
bool HoldsDeclaration(const QString& text);

}  // namespace tw::builder
