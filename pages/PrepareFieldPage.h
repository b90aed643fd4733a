#pragma once

#include <QString>

class Wizard;

// Fills the field page for `table` on a session of its own: the preview grid
// (which keeps that session for as long as it shows the preview) and the list
// of available columns, less the columns already chosen. Shows no page.
// Throws DatabaseError.
void PrepareFieldPage(Wizard& wizard, const QString& table);
