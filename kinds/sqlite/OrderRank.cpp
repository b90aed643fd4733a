#include "OrderRank.h"

#include <bit>
#include <cstdint>

namespace {

// Kinds in the order SQLite sorts them.
enum Kind : char { Null = 1, Number = 2, Text = 3, Blob = 4 };

void putBigEndian(char* at, std::uint64_t value, int bytes) {
    for (int byte = bytes - 1; byte >= 0; --byte, value >>= 8)
        at[byte] = static_cast<char>(value);
}

// A number as the double nearest to it, its bits turned to sort as unsigned
// bytes, and then how far an integer lies from that double (at most 1,024
// past 2^53), so that integers and reals compare by their exact values.
void appendNumber(std::string& rank, const Db::RawValue& value) {
    const bool integer = value.kind == Db::RawValue::Kind::Integer;
    double nearest = integer ? static_cast<double>(value.integer) : value.real;
    if (nearest == 0)
        nearest = 0; // -0.0 sorts as 0
    std::uint64_t bits = std::bit_cast<std::uint64_t>(nearest);
    bits = (bits >> 63) ? ~bits : bits | (std::uint64_t(1) << 63);
    __extension__ typedef __int128 Wide;
    const auto off =
        integer ? static_cast<std::int16_t>(Wide(value.integer) - static_cast<Wide>(nearest)) : 0;
    char bytes[11] = {Number};
    putBigEndian(bytes + 1, bits, 8);
    putBigEndian(bytes + 9, std::uint16_t(off) ^ 0x8000u, 2);
    rank.append(bytes, sizeof bytes);
}

// Bytes that sort by themselves and then by length: a zero byte becomes two,
// and two zero bytes end them.
void appendBytes(std::string& rank, const char* data, int size, OrderRank::Collation collation) {
    if (collation == OrderRank::Collation::RTrim) {
        while (size > 0 && data[size - 1] == ' ')
            --size;
    }
    for (int i = 0; i < size; ++i) {
        char byte = data[i];
        if (collation == OrderRank::Collation::NoCase && byte >= 'A' && byte <= 'Z')
            byte = static_cast<char>(byte - 'A' + 'a');
        rank.push_back(byte);
        if (byte == 0)
            rank.push_back(static_cast<char>(0xff));
    }
    rank.append(2, '\0');
}

} // namespace

std::optional<OrderRank::Collation> OrderRank::collationNamed(const QString& name,
                                                              QStringConverter::Encoding encoding) {
    if (name.compare(QStringLiteral("BINARY"), Qt::CaseInsensitive) == 0)
        return Collation::Binary;
    if (encoding != QStringConverter::Utf8)
        return std::nullopt;
    if (name.compare(QStringLiteral("NOCASE"), Qt::CaseInsensitive) == 0)
        return Collation::NoCase;
    if (name.compare(QStringLiteral("RTRIM"), Qt::CaseInsensitive) == 0)
        return Collation::RTrim;
    return std::nullopt;
}

void OrderRank::append(std::string& rank, const Db::RawValue* values) const {
    for (qsizetype term = 0; term < m_terms.size(); ++term) {
        const Db::RawValue& value = values[term];
        const std::size_t start = rank.size();
        switch (value.kind) {
        case Db::RawValue::Kind::Null:
            rank.push_back(Null);
            break;
        case Db::RawValue::Kind::Integer:
        case Db::RawValue::Kind::Real:
            appendNumber(rank, value);
            break;
        case Db::RawValue::Kind::Text:
            rank.push_back(Text);
            appendBytes(rank, value.data, value.size, m_terms[term].collation);
            break;
        case Db::RawValue::Kind::Blob:
            rank.push_back(Blob);
            appendBytes(rank, value.data, value.size, Collation::Binary);
            break;
        }
        // Every term's bytes end where they say, so turned over they sort
        // the other way.
        if (m_terms[term].descending) {
            for (std::size_t at = start; at < rank.size(); ++at)
                rank[at] = static_cast<char>(~rank[at]);
        }
    }
}
