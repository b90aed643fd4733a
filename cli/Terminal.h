#pragma once

#include <QString>

// What the command line needs of the terminal and of the signals it sends.
namespace Terminal {

// Whether standard error is a terminal someone watches.
bool errorIsTerminal();
// Asks on the terminal with the echo off, so the typed text is not shown;
// empty when there is no terminal.
QString askHidden(const QString& prompt, bool* hadTerminal);
// From now on Ctrl+C only sets a flag, so a run can stop cleanly.
void catchInterrupt();
bool interrupted();

} // namespace Terminal
