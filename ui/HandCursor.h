#pragma once

#include <QByteArray>
#include <QCursor>
#include <QPoint>
#include <QString>

// The hand pointer shown over active page buttons, read from "HAND-M.CUR"
// with the program's data (share/varnolt), or in the build beside the program.
// Without a readable file the hand is the ordinary arrow.
namespace HandCursor {

QString path();
// Reads the cursor file anew; a missing or unreadable file is no error.
void load();
QCursor cursor();

// The cursor file the build puts beside the program: a 32 x 32 pointing hand
// whose hot spot is the tip of its finger.
QByteArray fileBytes();
extern const QPoint kHotSpot;

} // namespace HandCursor
