#pragma once

#include <QCursor>
#include <QString>

// The hand pointer shown over active page buttons, read from "HAND-M.CUR" in
// the program's folder. Without a readable file the hand is the ordinary arrow.
namespace HandCursor {

QString path();
// Reads the cursor file anew; a missing or unreadable file is no error.
void load();
QCursor cursor();

} // namespace HandCursor
