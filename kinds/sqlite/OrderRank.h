#pragma once

#include "SqliteFile.h"

#include <QList>
#include <optional>
#include <string>

// Ranks rows as SQLite's ORDER BY sorts them by some of their columns, as
// bytes that compare in the same order: NULL first, then numbers by their
// exact value (an integer and a real alike), texts by the column's collation,
// and binary values byte by byte; a falling column the other way round. With
// a rank at hand the row that stays in each group is found as the table is
// read, where a sort of the whole table would take longer than the rest of
// the run.
class OrderRank {
public:
    enum class Collation { Binary, NoCase, RTrim };
    struct Term {
        Collation collation = Collation::Binary;
        bool descending = false;
    };
    // The collation of that name, or nothing where the rank could not sort
    // as SQLite does: a collation of the program's own, or one SQLite applies
    // only after converting texts stored in UTF-16.
    static std::optional<Collation> collationNamed(const QString& name,
                                                   QStringConverter::Encoding encoding);

    explicit OrderRank(QList<Term> terms) : m_terms(std::move(terms)) {}
    // Appends the rank of the values of the order's columns, one per term.
    void append(std::string& rank, const Db::RawValue* values) const;
    qsizetype terms() const { return m_terms.size(); }

private:
    QList<Term> m_terms;
};
