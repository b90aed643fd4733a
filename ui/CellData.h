#pragma once

#include <QVariant>

namespace Ui {

// A database value as every grid shows it, for `role`: NULL as a grey
// "NULL", blanks at either end of a text as dots, and the same told in
// words to a screen reader.
QVariant CellData(const QVariant& value, int role);

} // namespace Ui
