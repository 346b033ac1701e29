#pragma once
// Reading numbers that the user typed into the dialogs' text boxes.

#include <QString>
#include <QStringView>

#include <optional>

namespace tw::viewer {

// The value of a numeric text: optional blanks, an optional sign, digits with an optional
// decimal point ('.' or the locale's), an optional exponent, optional blanks. Anything else
// (including an empty text and a value too large for a double) gives no value.
std::optional<double> NumericValue(QStringView text);

// The nearest whole number, halves to the even neighbour (2.5 gives 2, 3.5 gives 4).
double RoundHalfEven(double value);

// Removes leading and trailing blanks (spaces only; tabs and other characters stay).
QString TrimBlanks(QStringView text);

// The title the program's boxes carry as caption.
QString ProgramTitle();

}  // namespace tw::viewer
