#include "RepeatFinder.h"

#include "db/Session.h"

#include <QHashFunctions>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr std::size_t kBlockBytes = std::size_t(1) << 20;
constexpr std::size_t kKeysPerPulse = 1 << 16;
constexpr int kOffsetBits = 40;
constexpr std::uint64_t kOffsetMask = (std::uint64_t(1) << kOffsetBits) - 1;
constexpr std::uint64_t kTagMask = ~kOffsetMask;

std::uint64_t hashOf(QByteArrayView key) {
    return static_cast<std::uint64_t>(qHash(key, 0x9e3779b9U));
}

std::size_t lengthBytes(std::size_t length) {
    std::size_t bytes = 1;
    while (length >= 0x80) {
        length >>= 7;
        ++bytes;
    }
    return bytes;
}

} // namespace

RepeatFinder::RepeatFinder(Order order, std::function<void()> pulse)
    : m_order(order), m_pulse(std::move(pulse)) {}

const char* RepeatFinder::keyAt(std::uint64_t offset, std::size_t* length) const {
    const auto* at = reinterpret_cast<const unsigned char*>(m_blocks[offset / kBlockBytes].get()) +
                     offset % kBlockBytes;
    std::size_t value = 0;
    for (int shift = 0;; shift += 7) {
        const unsigned char byte = *at++;
        value |= std::size_t(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            break;
    }
    *length = value;
    return reinterpret_cast<const char*>(at) + (m_order == Order::Any ? sizeof(qint64) : 0);
}

std::uint64_t RepeatFinder::store(QByteArrayView key, qint64 number) {
    const auto size = static_cast<std::size_t>(key.size());
    const std::size_t lowest = m_order == Order::Any ? sizeof(qint64) : 0;
    const std::size_t needed = lengthBytes(size) + lowest + size;
    // A key larger than a block gets a block of its own.
    if (m_blocks.empty() || m_used.back() + needed > kBlockBytes) {
        Db::FaultInjection::check(Db::FaultInjection::Point::Memory);
        m_blocks.push_back(std::make_unique_for_overwrite<char[]>(std::max(needed, kBlockBytes)));
        m_used.push_back(0);
    }
    char* at = m_blocks.back().get() + m_used.back();
    const std::uint64_t offset = (m_blocks.size() - 1) * kBlockBytes + m_used.back();
    std::size_t length = size;
    while (length >= 0x80) {
        *at++ = static_cast<char>((length & 0x7f) | 0x80);
        length >>= 7;
    }
    *at++ = static_cast<char>(length);
    if (lowest) {
        std::memcpy(at, &number, sizeof number);
        at += sizeof number;
    }
    std::memcpy(at, key.data(), size);
    m_used.back() += needed;
    return offset;
}

RepeatFinder::Found RepeatFinder::find(QByteArrayView key, std::uint64_t hash) const {
    const std::size_t mask = m_size - 1;
    const std::uint64_t tag = hash & kTagMask;
    std::size_t slot = hash & mask;
    while (m_slots[slot] != 0) {
        const std::uint64_t entry = m_slots[slot];
        if ((entry & kTagMask) == tag) {
            std::size_t length = 0;
            const char* stored = keyAt((entry & kOffsetMask) - 1, &length);
            if (length == std::size_t(key.size()) && std::memcmp(stored, key.data(), length) == 0)
                return {slot, true};
        }
        slot = (slot + 1) & mask;
    }
    return {slot, false};
}

void RepeatFinder::FreeSlots::operator()(std::uint64_t* table) const {
    std::free(table);
}

// The table is rebuilt from the blocks, read in the order the keys were stored.
void RepeatFinder::grow(std::size_t size) {
    Db::FaultInjection::check(Db::FaultInjection::Point::Memory);
    SlotArray table(static_cast<std::uint64_t*>(std::calloc(size, sizeof(std::uint64_t))));
    if (!table)
        throw std::bad_alloc();
    const std::size_t mask = size - 1;
    std::size_t placed = 0;
    for (std::size_t block = 0; block < m_blocks.size(); ++block) {
        for (std::size_t at = 0; at < m_used[block];) {
            if (m_pulse && ++placed % kKeysPerPulse == 0)
                m_pulse();
            const std::uint64_t offset = block * kBlockBytes + at;
            std::size_t length = 0;
            const char* key = keyAt(offset, &length);
            const std::uint64_t hash = hashOf(QByteArrayView(key, qsizetype(length)));
            std::size_t slot = hash & mask;
            while (table[slot] != 0)
                slot = (slot + 1) & mask;
            table[slot] = (hash & kTagMask) | (offset + 1);
            at = std::size_t(key - m_blocks[block].get()) + length;
        }
    }
    m_slots = std::move(table);
    m_size = size;
}

// A table is rebuilt larger once it is five-eighths full: probes stay short,
// and a table made for a known number of rows is never rebuilt.
void RepeatFinder::reserve(std::size_t keys) {
    std::size_t size = 1024;
    while (keys * 8 > size * 5)
        size *= 2;
    if (size > m_size)
        grow(size);
}

bool RepeatFinder::contains(QByteArrayView key) const {
    return m_size > 0 && find(key, hashOf(key)).present;
}

std::optional<qint64> RepeatFinder::offer(QByteArrayView key, qint64 number, qint64* kept) {
    if ((m_keys + 1) * 8 > m_size * 5)
        grow(m_size == 0 ? 1024 : m_size * 2);
    const std::uint64_t hash = hashOf(key);
    const Found found = find(key, hash);
    if (found.present) {
        if (m_order == Order::Rising)
            return number;
        std::size_t length = 0;
        const std::uint64_t offset = (m_slots[found.slot] & kOffsetMask) - 1;
        char* lowestAt = const_cast<char*>(keyAt(offset, &length)) - sizeof(qint64);
        qint64 lowest = 0;
        std::memcpy(&lowest, lowestAt, sizeof lowest);
        if (number < lowest) {
            std::swap(number, lowest);
            std::memcpy(lowestAt, &lowest, sizeof lowest);
        }
        if (kept)
            *kept = lowest;
        return number;
    }
    m_slots[found.slot] = (hash & kTagMask) | (store(key, number) + 1);
    ++m_keys;
    return std::nullopt;
}
