#pragma once
// basStrings: the small text routines behind the formula variable scanner.
// Positions and token numbers are counted from 1, as the formula language counts them.

#include <QChar>
#include <QString>
#include <QStringList>

namespace tw::builder {

// True for A to Z and a to z (character codes 65-90, 97-122); anything else, accents included, is not.
bool IsAlpha(QChar c);

// IsAlpha, or a digit 0 to 9.
bool IsAlphaNumeric(QChar c);

// The lines of a formula text. A text without a carriage return is one line; otherwise each carriage
// return ends a line and the character after it (normally the line feed) is dropped. A text ending in
// CR LF, or in a lone CR, ends with an empty line. The empty text has no lines.
QStringList SplitLines(const QString& text);

// The tokens of one line: words (a letter or digit followed by letters, digits and underscores) and
// single characters for everything else; blanks separate and are never tokens.
QStringList Tokenize(const QString& line);

// The word starting at position (from 1); on return position is the word's last character.
QString ReadWord(const QString& line, int& position);

// Token number i + 1 of tokens (numbered from 1), or the empty text when there is none.
QString TokenAfter(const QStringList& tokens, int i);

}  // namespace tw::builder
