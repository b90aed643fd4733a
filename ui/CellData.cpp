#include "CellData.h"

#include <QColor>

namespace Ui {

namespace {

// How many blanks (spaces, tabs, line breaks) a text starts and ends with.
std::pair<qsizetype, qsizetype> edgeBlanks(const QString& text) {
    qsizetype leading = 0;
    while (leading < text.size() && text.at(leading).isSpace())
        ++leading;
    qsizetype trailing = 0;
    while (trailing < text.size() - leading && text.at(text.size() - 1 - trailing).isSpace())
        ++trailing;
    return {leading, trailing};
}

// A NULL reads "NULL", greyed, as in every database tool, so it is not
// taken for an empty text; blanks at either end of a text are shown as dots,
// so "Oslo " does not pass for "Oslo".
QString shownText(const QVariant& value) {
    if (value.isNull())
        return QStringLiteral("NULL");
    QString text = value.toString();
    const auto [leading, trailing] = edgeBlanks(text);
    const QChar dot(0x00B7);
    for (qsizetype i = 0; i < leading; ++i)
        text[i] = dot;
    for (qsizetype i = text.size() - trailing; i < text.size(); ++i)
        text[i] = dot;
    return text;
}

// What a screen reader says of a value, the same distinctions in words.
QString spokenText(const QVariant& value) {
    if (value.isNull())
        return QStringLiteral("null");
    const QString text = value.toString();
    if (text.isEmpty())
        return QStringLiteral("empty text");
    const auto [leading, trailing] = edgeBlanks(text);
    if (leading == 0 && trailing == 0)
        return text;
    return QStringLiteral("%1 (%2 blanks before, %3 after)")
        .arg(text.trimmed())
        .arg(leading)
        .arg(trailing);
}

} // namespace

QVariant CellData(const QVariant& value, int role) {
    switch (role) {
    case Qt::DisplayRole:
        return shownText(value);
    case Qt::AccessibleTextRole:
    case Qt::ToolTipRole:
        return spokenText(value);
    case Qt::ForegroundRole:
        return value.isNull() ? QVariant(QColor(Qt::gray)) : QVariant();
    default:
        return {};
    }
}

} // namespace Ui
