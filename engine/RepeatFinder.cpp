#include "RepeatFinder.h"

#include "Varint.h"
#include "db/DatabaseError.h"
#include "db/Session.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

namespace {

// Blocks small enough that a record's distance from its block's first row
// takes two bytes.
constexpr std::size_t kBlockBytes = std::size_t(1) << 17;
constexpr std::size_t kKeysPerPulse = 1 << 12;
// A slot is five bytes: 34 bits of where the key is (16 GiB of keys) and 6 of
// its fingerprint, which spare most probes a look at the key itself.
constexpr std::size_t kSlotBytes = 5;
constexpr int kOffsetBits = 34;
constexpr std::uint64_t kOffsetMask = (std::uint64_t(1) << kOffsetBits) - 1;
constexpr std::uint64_t kSlotMask = (std::uint64_t(1) << (8 * kSlotBytes)) - 1;
constexpr std::uint64_t kTagMask = kSlotMask & ~kOffsetMask;
static_assert(std::endian::native == std::endian::little,
              "slots are read and written as the low bytes of a 64-bit word");
constexpr std::size_t kFingerprintBytes = sizeof(std::uint64_t);

__extension__ typedef unsigned __int128 Wide;

// Where rows come in rising order, a record's number is kept as how far it
// lies past the number of its block's first record: small, so that a varint
// of it takes two bytes where the rowid of a large table would take four.
// (A lower number would wrap round and take the longest varint, but still
// come back whole.)
std::uint64_t distance(qint64 number, qint64 base) {
    return std::uint64_t(number) - std::uint64_t(base);
}

} // namespace

// The standard library's hash of bytes: several times faster on short keys
// than Qt's seeded one, which is built to resist keys chosen to collide; here
// a collision costs only a comparison.
std::uint64_t RepeatFinder::defaultFingerprint(QByteArrayView key) {
    return std::hash<std::string_view>()(std::string_view(key.data(), std::size_t(key.size())));
}

namespace {
RepeatFinder::Fingerprint processFingerprint = RepeatFinder::defaultFingerprint;
} // namespace

void RepeatFinder::useFingerprint(Fingerprint fingerprint) {
    processFingerprint = fingerprint ? fingerprint : defaultFingerprint;
}

RepeatFinder::RepeatFinder(Options options) : m_options(std::move(options)) {
    if (m_options.order == Order::Any)
        m_options.keptNumbers = true;
    if (!m_options.fingerprint)
        m_options.fingerprint = processFingerprint;
    const std::uint64_t span =
        std::uint64_t(m_options.highestNumber) - std::uint64_t(m_options.lowestNumber);
    m_numberBytes = std::max<std::size_t>(1, (std::bit_width(span) + 7) / 8);
}

// A number is kept as its distance from the lowest, its low bytes first.
void RepeatFinder::putNumber(char* at, qint64 number) const {
    if (number < m_options.lowestNumber || number > m_options.highestNumber)
        throw Db::DatabaseError(
            QString(), QStringLiteral("Row %1 lies outside the rows that were there.").arg(number));
    const std::uint64_t distance = std::uint64_t(number) - std::uint64_t(m_options.lowestNumber);
    std::memcpy(at, &distance, m_numberBytes);
}

qint64 RepeatFinder::numberAt(const char* at) const {
    std::uint64_t distance = 0;
    std::memcpy(&distance, at, m_numberBytes);
    return qint64(std::uint64_t(m_options.lowestNumber) + distance);
}

// A record is its size, doubled and one added when it is a fingerprint, as a
// varint; the number of the row, where one is kept (a varint where rows come
// in rising order, as it never changes then, else a fixed width to be changed
// in place, see putNumber) and for Order::Any the size of its rank, doubled and one added
// once a better row's record replaces it, as a varint; then the key's bytes or
// its fingerprint, and the rank.
RepeatFinder::Record RepeatFinder::recordAt(std::uint64_t offset) const {
    auto* at = reinterpret_cast<unsigned char*>(m_blocks[offset / kBlockBytes].get()) +
               offset % kBlockBytes;
    std::uint64_t header = 0;
    at = Varint::Read(at, header);
    Record record{0, nullptr, nullptr, header >> 1, (header & 1) != 0};
    std::uint64_t rankSize = 0;
    if (record.fingerprinted || m_options.keptNumbers) {
        if (m_options.order == Order::Rising) {
            std::uint64_t number = 0;
            at = Varint::Read(at, number);
            record.number = qint64(std::uint64_t(m_bases[offset / kBlockBytes]) + number);
        } else {
            record.numberAt = reinterpret_cast<char*>(at);
            record.number = numberAt(record.numberAt);
            record.rankSizeAt = at + m_numberBytes;
            at = Varint::Read(at + m_numberBytes, rankSize);
        }
    }
    record.bytes = reinterpret_cast<const char*>(at);
    record.rank = reinterpret_cast<char*>(at) + record.size;
    record.rankSize = std::size_t(rankSize >> 1);
    record.replaced = (rankSize & 1) != 0;
    return record;
}

std::uint64_t RepeatFinder::store(QByteArrayView key, std::uint64_t hash, qint64 number,
                                  QByteArrayView rank) {
    const bool fingerprinted = m_options.readBack && std::size_t(key.size()) > kWholeKeyBytes;
    const std::size_t size = fingerprinted ? kFingerprintBytes : std::size_t(key.size());
    const std::size_t header = size << 1 | (fingerprinted ? 1 : 0);
    const bool numbered = fingerprinted || m_options.keptNumbers;
    const bool rising = m_options.order == Order::Rising;
    const std::size_t rankSize = std::size_t(rank.size());
    // At most: how far a number lies from its block's first is known only
    // once the block is.
    const std::size_t numberBytes = !numbered ? 0
                                    : rising  ? Varint::kLongest
                                              : m_numberBytes + Varint::Bytes(rankSize << 1);
    const std::size_t needed = Varint::Bytes(header) + numberBytes + size + rankSize;
    // A key larger than a block gets a block of its own.
    if (m_blocks.empty() || m_used.back() + needed > kBlockBytes) {
        Db::FaultInjection::check(Db::FaultInjection::Point::Memory);
        m_blocks.push_back(std::make_unique_for_overwrite<char[]>(std::max(needed, kBlockBytes)));
        m_used.push_back(0);
        m_bases.push_back(number);
    }
    auto* at = reinterpret_cast<unsigned char*>(m_blocks.back().get() + m_used.back());
    const std::uint64_t offset = (m_blocks.size() - 1) * kBlockBytes + m_used.back();
    if (offset >= kOffsetMask)
        throw std::bad_alloc();
    at = Varint::Write(at, header);
    if (numbered && rising) {
        at = Varint::Write(at, distance(number, m_bases.back()));
    } else if (numbered) {
        putNumber(reinterpret_cast<char*>(at), number);
        at = Varint::Write(at + m_numberBytes, rankSize << 1);
    }
    std::memcpy(at, fingerprinted ? static_cast<const void*>(&hash) : key.data(), size);
    if (rankSize)
        std::memcpy(at + size, rank.data(), rankSize);
    m_used.back() =
        std::size_t(reinterpret_cast<char*>(at) - m_blocks.back().get()) + size + rankSize;
    return offset;
}

// A key kept whole matches by its bytes; one kept as a fingerprint matches
// when the fingerprints agree and the row read back has the same key.
bool RepeatFinder::matches(const Record& record, QByteArrayView key, std::uint64_t hash) {
    if (!record.fingerprinted)
        return record.size == std::size_t(key.size()) &&
               std::memcmp(record.bytes, key.data(), record.size) == 0;
    std::uint64_t stored = 0;
    std::memcpy(&stored, record.bytes, kFingerprintBytes);
    if (stored != hash)
        return false;
    m_readBack.clear();
    m_options.readBack(record.number, m_readBack);
    return QByteArrayView(m_readBack.data(), qsizetype(m_readBack.size())) == key;
}

// Slots are placed by the fingerprint's high bits scaled to the table, so a
// table of any size is used evenly; the tag is taken from its low bits.
std::size_t RepeatFinder::home(std::uint64_t hash) const {
    return static_cast<std::size_t>((static_cast<Wide>(hash) * m_size) >> 64);
}

RepeatFinder::Found RepeatFinder::find(QByteArrayView key, std::uint64_t hash) {
    const std::uint64_t tag = (hash << kOffsetBits) & kTagMask;
    std::size_t slot = home(hash);
    for (std::uint64_t entry; (entry = slotAt(slot)) != 0;) {
        if ((entry & kTagMask) == tag && matches(recordAt((entry & kOffsetMask) - 1), key, hash))
            return {slot, true};
        if (++slot == m_size)
            slot = 0;
    }
    return {slot, false};
}

std::uint64_t RepeatFinder::slotAt(std::size_t slot) const {
    std::uint64_t entry = 0;
    std::memcpy(&entry, m_slots.get() + slot * kSlotBytes, sizeof entry);
    return entry & kSlotMask;
}

void RepeatFinder::setSlot(std::size_t slot, std::uint64_t entry) {
    std::memcpy(m_slots.get() + slot * kSlotBytes, &entry, kSlotBytes);
}

void RepeatFinder::FreeSlots::operator()(unsigned char* table) const {
    std::free(table);
}

// The table is rebuilt from the blocks, read in the order the keys were stored.
void RepeatFinder::grow(std::size_t size) {
    Db::FaultInjection::check(Db::FaultInjection::Point::Memory);
    // Room for the last slot to be read as a whole word.
    SlotArray table(
        static_cast<unsigned char*>(std::calloc(size * kSlotBytes + sizeof(std::uint64_t), 1)));
    if (!table)
        throw std::bad_alloc();
    std::swap(m_slots, table);
    std::swap(m_size, size);
    std::size_t placed = 0;
    for (std::size_t block = 0; block < m_blocks.size(); ++block) {
        for (std::size_t at = 0; at < m_used[block];) {
            if (m_options.pulse && ++placed % kKeysPerPulse == 0)
                m_options.pulse();
            const std::uint64_t offset = block * kBlockBytes + at;
            const Record record = recordAt(offset);
            at = std::size_t(record.end() - m_blocks[block].get());
            if (record.replaced)
                continue;
            std::uint64_t hash = 0;
            if (record.fingerprinted)
                std::memcpy(&hash, record.bytes, kFingerprintBytes);
            else
                hash = m_options.fingerprint(QByteArrayView(record.bytes, qsizetype(record.size)));
            std::size_t slot = home(hash);
            while (slotAt(slot) != 0) {
                if (++slot == m_size)
                    slot = 0;
            }
            setSlot(slot, ((hash << kOffsetBits) & kTagMask) | (offset + 1));
        }
    }
}

// A table is rebuilt larger once it is four-fifths full, where probes stay
// short. A table made for a known number of rows has a slot for each: it is
// rebuilt only where more than four-fifths of them bring keys of their own,
// and a run whose rows repeat many keys holds no slots it never uses.
void RepeatFinder::reserve(std::size_t keys) {
    const std::size_t size = std::max<std::size_t>(1024, keys + 1);
    if (size > m_size)
        grow(size);
}

std::optional<qint64> RepeatFinder::offer(QByteArrayView key, qint64 number, qint64* kept) {
    if ((m_keys + 1) * 5 > m_size * 4)
        grow(m_size == 0 ? 1024 : m_size * 2);
    return offerHashed(key, m_options.fingerprint(key), number, {}, kept);
}

void RepeatFinder::offer(std::span<Offer> batch, std::span<const QByteArrayView> ranks) {
    // Grown first: the places loaded must be the ones the offers use.
    while ((m_keys + batch.size()) * 5 > m_size * 4)
        grow(m_size == 0 ? 1024 : m_size * 2);
    m_hashes.resize(batch.size());
    for (std::size_t i = 0; i < batch.size(); ++i) {
        m_hashes[i] = m_options.fingerprint(batch[i].key);
        __builtin_prefetch(m_slots.get() + home(m_hashes[i]) * kSlotBytes);
    }
    // The record of a slot whose tag matches is what a lookup reads next.
    for (std::size_t i = 0; i < batch.size(); ++i) {
        const std::uint64_t entry = slotAt(home(m_hashes[i]));
        if (entry != 0 && (entry & kTagMask) == ((m_hashes[i] << kOffsetBits) & kTagMask)) {
            const std::uint64_t offset = (entry & kOffsetMask) - 1;
            __builtin_prefetch(m_blocks[offset / kBlockBytes].get() + offset % kBlockBytes);
        }
    }
    for (std::size_t i = 0; i < batch.size(); ++i)
        batch[i].repeat = offerHashed(batch[i].key, m_hashes[i], batch[i].number,
                                      ranks.empty() ? QByteArrayView() : ranks[i], &batch[i].kept);
}

std::optional<qint64> RepeatFinder::offerHashed(QByteArrayView key, std::uint64_t hash,
                                                qint64 number, QByteArrayView rank, qint64* kept) {
    const Found found = find(key, hash);
    const std::uint64_t tag = (hash << kOffsetBits) & kTagMask;
    if (!found.present) {
        setSlot(found.slot, tag | (store(key, hash, number, rank) + 1));
        ++m_keys;
        return std::nullopt;
    }
    const Record record = recordAt((slotAt(found.slot) & kOffsetMask) - 1);
    const qint64 holder = record.number;
    const auto held = std::string_view(record.rank, record.rankSize);
    const auto offered = std::string_view(rank.data(), std::size_t(rank.size()));
    if (m_options.order == Order::Rising || offered > held ||
        (offered == held && (number > holder) != m_options.highestOfEqual)) {
        if (kept)
            *kept = holder;
        return number;
    }
    // The offered row beats the earlier holder, which is the repeat.
    if (offered.size() == held.size()) {
        putNumber(record.numberAt, number);
        if (!offered.empty())
            std::memcpy(record.rank, offered.data(), offered.size());
    } else {
        // Same varint size: the flag is the lowest bit.
        Varint::Write(record.rankSizeAt, std::uint64_t(held.size()) << 1 | 1);
        setSlot(found.slot, tag | (store(key, hash, number, rank) + 1));
    }
    if (kept)
        *kept = number;
    return holder;
}
