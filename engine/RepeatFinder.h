#pragma once

#include <QByteArrayView>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Finds the rows whose key repeats the key of a row with a lower number, in one
// pass. Each distinct key is kept once in large blocks: whole when it is short,
// as most keys are, and otherwise as a fixed-size fingerprint and the number of
// the row that first had it, so that memory does not grow with the width of
// the keys. Keys are found again through an open-addressing table of 5 bytes a
// slot that holds where the key is and a part of its fingerprint: a probe
// touches the key only when that part matches. Two keys are the same only when
// their bytes are: equal fingerprints of a key kept as a fingerprint are
// confirmed against the row read back, so keys never merge however their
// fingerprints collide.
class RepeatFinder {
public:
    enum class Order {
        // Rows come in any order of their numbers: of each key the row with
        // the lowest rank stays, and of equal ranks the one with the lowest
        // number (the highest with `highestOfEqual`); a row that beats the
        // earlier holder of its key makes that holder the repeat. Ranks
        // compare byte by byte, a prefix first, and are empty unless offered.
        Any,
        // Rows come in rising order of their numbers, so the first row of a
        // key is the one that stays.
        Rising,
    };
    using Fingerprint = std::uint64_t (*)(QByteArrayView key);
    // Puts into `key` the key of the row numbered `number`, as it was offered.
    using ReadBack = std::function<void(qint64 number, std::string& key)>;

    struct Options {
        Order order = Order::Any;
        // Whether a repeat is told the number of the row it repeats (Order::Any
        // always keeps the numbers).
        bool keptNumbers = true;
        bool highestOfEqual = false;
        // Where given, a key longer than kWholeKeyBytes is kept as its
        // fingerprint and the number of the row that holds it, and confirmed
        // by reading that row back.
        ReadBack readBack = {};
        // Null: the process's fingerprint (see useFingerprint).
        Fingerprint fingerprint = nullptr;
        // Called now and then while the table is rebuilt to grow, which on
        // millions of keys takes long enough to be felt.
        std::function<void()> pulse = {};
        // With Order::Any: the numbers offered lie from `lowestNumber` to
        // `highestNumber`, and each is kept in as few bytes as that span needs.
        qint64 lowestNumber = std::numeric_limits<qint64>::min();
        qint64 highestNumber = std::numeric_limits<qint64>::max();
    };
    // A repeat of a key kept as a fingerprint costs a read of the file at
    // random: a key of names and places, which runs past 32 bytes often
    // enough, costs less kept whole.
    static constexpr std::size_t kWholeKeyBytes = 64;
    static std::uint64_t defaultFingerprint(QByteArrayView key);
    // A test seam: the fingerprint of every finder made from now on without
    // one of its own, so that tests can make keys collide; null restores the
    // default.
    static void useFingerprint(Fingerprint fingerprint);

    explicit RepeatFinder(Options options);

    // Takes the row numbered `number` (any 64-bit number, each row its own)
    // with the given key. Returns the number of a row that this shows to be a
    // repeat (this row, or the earlier holder of the key when this one has a
    // lower number), or nothing when the key is new. `kept`, when given,
    // receives the number of the row that stays for a repeated key, where the
    // numbers are kept.
    std::optional<qint64> offer(QByteArrayView key, qint64 number, qint64* kept = nullptr);
    // One row of a batch: its key and number, and what offer() says of it.
    struct Offer {
        QByteArrayView key;
        qint64 number = 0;
        std::optional<qint64> repeat = {};
        qint64 kept = 0;
    };
    // Takes the rows of `batch` in turn, as offer() would one by one, but
    // starts loading all their places from memory first: on millions of keys
    // nearly every lookup misses the cache, and a batch waits for its misses
    // together rather than one after another. With Order::Any, `ranks` holds
    // each row's rank, where rows are ranked. (An offer is kept small: one
    // larger by the rank's 16 bytes made the plain run a quarter slower.)
    void offer(std::span<Offer> batch, std::span<const QByteArrayView> ranks = {});
    // Makes room at once for the keys of about `keys` rows, so that the
    // table is rebuilt while they come only if most of them are new.
    void reserve(std::size_t keys);

private:
    // A key as it is stored: where its record starts and what it holds.
    struct Record {
        qint64 number;
        // Where the number is, for Order::Any, which changes it in place.
        char* numberAt;
        const char* bytes;
        std::size_t size;
        bool fingerprinted;
        // With Order::Any, the rank of the row that holds the key, and
        // whether a record of a better row has replaced this one.
        char* rank = nullptr;
        std::size_t rankSize = 0;
        unsigned char* rankSizeAt = nullptr;
        bool replaced = false;

        const char* end() const { return bytes + size + rankSize; }
    };
    Record recordAt(std::uint64_t offset) const;
    // The slot that holds `key`, or the empty slot where it would go.
    struct Found {
        std::size_t slot;
        bool present;
    };
    Found find(QByteArrayView key, std::uint64_t hash);
    bool matches(const Record& record, QByteArrayView key, std::uint64_t hash);
    std::uint64_t store(QByteArrayView key, std::uint64_t hash, qint64 number, QByteArrayView rank);
    std::size_t home(std::uint64_t hash) const;
    std::optional<qint64> offerHashed(QByteArrayView key, std::uint64_t hash, qint64 number,
                                      QByteArrayView rank, qint64* kept);
    void grow(std::size_t size);
    // With Order::Any: a row's number as kept in m_numberBytes, and back.
    void putNumber(char* at, qint64 number) const;
    qint64 numberAt(const char* at) const;

    Options m_options;
    std::size_t m_numberBytes = sizeof(qint64);
    // Blocks never move, so growing costs no copy of the keys already stored.
    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::vector<std::size_t> m_used; // bytes used in each block
    std::vector<qint64> m_bases;     // the number of each block's first record
    std::size_t m_keys = 0;
    std::string m_readBack;
    std::vector<std::uint64_t> m_hashes;
    // 0 empty, else fingerprint part << 34 | offset + 1. Allocated zeroed by
    // the system, so a large table costs nothing until its slots are used.
    struct FreeSlots {
        void operator()(unsigned char* table) const;
    };
    using SlotArray = std::unique_ptr<unsigned char[], FreeSlots>;
    std::uint64_t slotAt(std::size_t slot) const;
    void setSlot(std::size_t slot, std::uint64_t entry);
    SlotArray m_slots;
    std::size_t m_size = 0;
};
