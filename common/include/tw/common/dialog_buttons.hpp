#pragma once
// The OK and Cancel buttons of the program's dialogs.

class QHBoxLayout;
class QPushButton;
class QWidget;

namespace tw {

// Makes OK and Cancel at the right of a row for dialog: named "btnCmd" with the property
// "index" 0 and 1 (as tests find them), OK the default button. The caller connects them.
QHBoxLayout* MakeOkCancelRow(QWidget* dialog, QPushButton* (&buttons)[2]);

}  // namespace tw
