#pragma once
// The debug command composer: formula-function calls for the ticked rows of the object list.

#include <QString>
#include <QStringList>

namespace tw::builder {

// The formula syntax the composed calls are written for; only the closing semicolon differs.
enum class FormulaSyntax { Crystal = 0, Basic = 1 };

struct CommandTemplate {
    QString text;  // "%1" stands for the row's name as text, "%2" for its value
    int icon = 0;  // index into the Stepwright's image list
};

// The six command templates, in list order.
const QList<CommandTemplate>& CommandTemplates();

// The text to append for template text: one line per name (the ticked rows' texts, in list order)
// when it holds "%1", otherwise the template once. Each line ends in ";" under Crystal syntax and
// then CR LF. Names are inserted unchanged.
QString ComposeCommands(const QString& text, const QStringList& names, FormulaSyntax syntax);

}  // namespace tw::builder
