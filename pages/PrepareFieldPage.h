#pragma once

#include "oracle/Session.h"

#include <memory>

class Wizard;

// Fills the field page for `table`: its preview grid (which keeps `session` for
// as long as it shows the preview) and its list of available columns, less the
// columns already chosen. Shows no page. Throws DatabaseError.
void PrepareFieldPage(Wizard& wizard, const QString& table,
                      std::shared_ptr<Oracle::Session> session);
