// The OK and Cancel buttons that end the small dialogs, with their text
// codes, in a row of their own at the right below what the dialog asks.
#pragma once

#include <utility>

class QBoxLayout;
class QPushButton;
class QWidget;

namespace vexla {

// Makes cmdOk (R0898; the default button, so Enter in a field confirms) and
// cmdAvbryt (R1048) in `dialog`, adds their row to the end of `layout`, and
// lets Tab go from `before` to OK and on to Cancel. Answers (OK, Cancel).
std::pair<QPushButton*, QPushButton*> addOkCancel(QWidget& dialog, QBoxLayout& layout, QWidget* before);

}  // namespace vexla
