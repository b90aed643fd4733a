#pragma once

#include <QByteArrayView>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Finds the rows whose key repeats the key of a row with a lower number, in one
// pass. Each distinct key is kept once, packed into large blocks behind its
// length (and, where rows come in any order, the lowest number seen for it),
// and found again through an open-addressing table of 8 bytes a slot that
// holds where the key is and a part of its hash: a probe touches the key only
// when that part matches. Memory is the keys themselves and a few bytes more.
class RepeatFinder {
public:
    enum class Order {
        // Rows come in any order of their numbers: the lowest number seen for
        // each key is kept, and a row with a lower number makes the earlier
        // holder of its key the repeat.
        Any,
        // Rows come in rising order of their numbers, so the first row of a
        // key is the one that stays and no number needs keeping.
        Rising,
    };

    // `pulse` is called now and then while the table is rebuilt to grow, which
    // on millions of keys takes long enough to be felt.
    explicit RepeatFinder(Order order = Order::Any, std::function<void()> pulse = {});

    // Takes the row numbered `number` (any 64-bit number, each row its own)
    // with the given key. Returns the number of a row that this shows to be a
    // repeat (this row, or the earlier holder of the key when this one has a
    // lower number), or nothing when the key is new. `kept`, when given,
    // receives the number of the row that stays for a repeated key (only with
    // Order::Any).
    std::optional<qint64> offer(QByteArrayView key, qint64 number, qint64* kept = nullptr);
    // Makes room for about `keys` keys at once, so the table need not be
    // rebuilt while they come.
    void reserve(std::size_t keys);
    // Whether `key` was offered before.
    bool contains(QByteArrayView key) const;

private:
    struct Found {
        std::size_t slot;
        bool present;
    };
    Found find(QByteArrayView key, std::uint64_t hash) const;
    // Where the key stored at `offset` starts, and its length.
    const char* keyAt(std::uint64_t offset, std::size_t* length) const;
    std::uint64_t store(QByteArrayView key, qint64 number);
    void grow(std::size_t size);

    Order m_order;
    std::function<void()> m_pulse;
    // Blocks never move, so growing costs no copy of the keys already stored.
    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::vector<std::size_t> m_used; // bytes used in each block
    std::size_t m_keys = 0;
    // 0 empty, else hash part << 40 | offset + 1. Allocated zeroed by the
    // system, so a large table costs nothing until its slots are used.
    struct FreeSlots {
        void operator()(std::uint64_t* table) const;
    };
    using SlotArray = std::unique_ptr<std::uint64_t[], FreeSlots>;
    SlotArray m_slots;
    std::size_t m_size = 0;
};
