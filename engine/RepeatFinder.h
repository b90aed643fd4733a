#pragma once

#include <QByteArrayView>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// Finds the rows whose key repeats the key of a row with a lower number, in one
// pass and in any order of arrival. It keeps each distinct key once, packed into
// large blocks, with the lowest number seen for it, in an open-addressing table:
// a few dozen bytes per distinct key rather than a heap object each.
class RepeatFinder {
public:
    // `pulse` is called now and then while the table is rebuilt to grow, which
    // on millions of keys takes long enough to be felt.
    explicit RepeatFinder(std::function<void()> pulse = {});

    // Takes the row numbered `number` (numbers are positive and unique) with
    // the given key. Returns the number of a row that this shows to be a repeat
    // (this row, or the earlier holder of the key when this one has a lower
    // number), or 0 when the key is new. `kept`, when given, receives the
    // number of the row that stays for a repeated key.
    qint64 offer(QByteArrayView key, qint64 number, qint64* kept = nullptr);
    // Whether `key` was offered before.
    bool contains(QByteArrayView key) const;

private:
    struct Entry {
        std::uint64_t start; // block * kBlockBytes + offset
        std::uint32_t length;
        std::uint32_t hash;
    };

    QByteArrayView keyAt(const Entry& entry) const;
    // The slot that holds `key`, or the empty slot where it would go.
    std::size_t slotFor(QByteArrayView key, std::uint32_t hash) const;
    std::uint64_t store(QByteArrayView key);
    void grow();

    std::function<void()> m_pulse;
    // Blocks never move, so growing costs no copy of the keys already stored.
    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::size_t m_used = 0; // bytes used in the last block
    std::vector<Entry> m_entries;
    std::vector<qint64> m_lowest;
    std::vector<std::uint32_t> m_slots; // 0 = empty, else entry index + 1
};
