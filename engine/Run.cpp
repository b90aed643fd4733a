#include "Run.h"

QString PhaseText(Phase phase) {
    switch (phase) {
    case Phase::Checking:
        return QStringLiteral("Checking the table");
    case Phase::Copying:
        return QStringLiteral("Copying the table");
    case Phase::Numbering:
        return QStringLiteral("Numbering the rows");
    case Phase::Reading:
        return QStringLiteral("Reading rows");
    case Phase::Removing:
        return QStringLiteral("Removing repeated rows");
    case Phase::Writing:
        return QStringLiteral("Writing the new table");
    case Phase::Finishing:
        return QStringLiteral("Finishing");
    }
    return {};
}
