// A chained hash table of texts keyed without regard to case: the container
// behind the variable store.
//
// Entries go to the head of their chain; the table starts without buckets,
// takes 32 on the first insertion and doubles whenever the entry count
// reaches capacity x load factor. A key keeps the spelling it was first
// inserted with; replacing a value never touches the key.
//
// The table has no lock of its own: the variable store serialises every call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::vars {

class TStringHashTable {
public:
    // Fails with std::out_of_range ("Argument out of range") for a load
    // factor outside 0.1 to 7.0.
    explicit TStringHashTable(std::size_t initialCapacity = 0, double loadFactor = 2.0);
    ~TStringHashTable();
    TStringHashTable(const TStringHashTable&) = delete;
    TStringHashTable& operator=(const TStringHashTable&) = delete;

    // The hash of a key: equal for keys equal without regard to case.
    static std::size_t HashOf(std::wstring_view key);

    // Inserts or replaces. Fails with std::logic_error while an enumeration runs.
    void Put(std::wstring_view key, std::wstring_view value) { Put(key, HashOf(key), value); }
    // The stored value, or nullptr; valid until the table is next changed.
    const std::wstring* Find(std::wstring_view key) const { return Find(key, HashOf(key)); }
    bool Contains(std::wstring_view key) const { return Find(key) != nullptr; }
    // Removes the entry if present. Fails like Put while an enumeration runs.
    void Remove(std::wstring_view key) { Remove(key, HashOf(key)); }

    // The same with the key's hash given (it must be HashOf(key)): a caller
    // can hash outside its lock, and once for several calls.
    void Put(std::wstring_view key, std::size_t hash, std::wstring_view value);
    const std::wstring* Find(std::wstring_view key, std::size_t hash) const;
    // The stored value to change in place; the entry stays where it is until removed.
    std::wstring* Find(std::wstring_view key, std::size_t hash);
    void Remove(std::wstring_view key, std::size_t hash);
    // Frees every entry and goes back to the initial capacity.
    void Clear();

    // Visits every (key, value) in bucket order, each chain from its head.
    // The visitor must not change the table.
    void ForEach(const std::function<void(const std::wstring& key, const std::wstring& value)>& visit) const;

    std::uint64_t Count() const { return count_; }
    std::size_t BucketCount() const { return buckets_.size(); }

private:
    struct Entry {
        std::unique_ptr<Entry> next;
        std::size_t hash;
        std::wstring key;
        std::wstring value;
    };

    Entry* FindEntry(std::wstring_view key, std::size_t hash) const;
    std::size_t BucketOf(std::size_t hash) const;  // buckets_ must not be empty
    void Grow();
    void FreeAll();
    void CheckNotIterating() const;
    void Allocate(std::size_t capacity);

    std::vector<std::unique_ptr<Entry>> buckets_;
    std::uint64_t count_ = 0;
    std::size_t initialCapacity_;
    double loadFactor_;
    std::uint64_t threshold_ = 0;
    mutable bool iterating_ = false;
};

}  // namespace velmora::vars
