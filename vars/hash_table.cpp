#include "vars/hash_table.hpp"

#include "core/text.hpp"

#include <cmath>
#include <stdexcept>

namespace velmora::vars {
namespace {

std::uint64_t Threshold(std::size_t capacity, double loadFactor) {
    return static_cast<std::uint64_t>(std::llround(static_cast<double>(capacity) * loadFactor));
}

}  // namespace

TStringHashTable::TStringHashTable(std::size_t initialCapacity, double loadFactor)
    : initialCapacity_(initialCapacity), loadFactor_(loadFactor) {
    if (!(loadFactor >= 0.1 && loadFactor <= 7.0)) throw std::out_of_range("Argument out of range");
    Allocate(initialCapacity);
}

std::size_t TStringHashTable::BucketOf(std::size_t hash) const {
    // The same bucket as hash % size; the capacity is nearly always a power
    // of two (32, doubled), where a mask spares the division.
    const std::size_t size = buckets_.size();
    return (size & (size - 1)) == 0 ? hash & (size - 1) : hash % size;
}

TStringHashTable::~TStringHashTable() { FreeAll(); }

void TStringHashTable::Allocate(std::size_t capacity) {
    buckets_.clear();
    buckets_.resize(capacity);
    threshold_ = Threshold(capacity, loadFactor_);
}

void TStringHashTable::CheckNotIterating() const {
    if (iterating_) throw std::logic_error("Can not modify a collection while iterating");
}

namespace {

// Whether a stored key is the key looked up. A name is nearly always
// written as it was first spelled: the same units decide at once, and only
// a difference goes to the comparison without regard to case.
bool SameKey(const std::wstring& stored, std::wstring_view key) {
    if (stored.size() != key.size()) return text::SameText(stored, key);
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (stored[i] != key[i]) return text::SameText(stored, key);
    }
    return true;
}

}  // namespace

TStringHashTable::Entry* TStringHashTable::FindEntry(std::wstring_view key, std::size_t hash) const {
    if (buckets_.empty()) return nullptr;
    for (Entry* e = buckets_[BucketOf(hash)].get(); e != nullptr; e = e->next.get()) {
        if (e->hash == hash && SameKey(e->key, key)) return e;
    }
    return nullptr;
}

std::size_t TStringHashTable::HashOf(std::wstring_view key) { return text::CaseInsensitiveHash{}(key); }

const std::wstring* TStringHashTable::Find(std::wstring_view key, std::size_t hash) const {
    const Entry* e = FindEntry(key, hash);
    return e != nullptr ? &e->value : nullptr;
}

std::wstring* TStringHashTable::Find(std::wstring_view key, std::size_t hash) {
    Entry* e = FindEntry(key, hash);
    return e != nullptr ? &e->value : nullptr;
}

void TStringHashTable::Put(std::wstring_view key, std::size_t hash, std::wstring_view value) {
    CheckNotIterating();
    if (count_ >= threshold_) Grow();
    if (Entry* e = FindEntry(key, hash)) {
        e->value.assign(value);
        return;
    }
    auto entry = std::make_unique<Entry>();
    entry->hash = hash;
    entry->key.assign(key);
    entry->value.assign(value);
    auto& head = buckets_[BucketOf(hash)];
    entry->next = std::move(head);
    head = std::move(entry);
    ++count_;
}

void TStringHashTable::Grow() {
    const std::size_t capacity = buckets_.empty() ? 32 : buckets_.size() * 2;
    std::vector<std::unique_ptr<Entry>> grown(capacity);
    // Stored hashes are reused; nothing is rehashed.
    for (auto& head : buckets_) {
        while (head) {
            std::unique_ptr<Entry> e = std::move(head);
            head = std::move(e->next);
            auto& target = grown[e->hash % capacity];
            e->next = std::move(target);
            target = std::move(e);
        }
    }
    buckets_ = std::move(grown);
    threshold_ = Threshold(capacity, loadFactor_);
}

void TStringHashTable::Remove(std::wstring_view key, std::size_t hash) {
    CheckNotIterating();
    if (buckets_.empty()) return;
    std::unique_ptr<Entry>* link = &buckets_[BucketOf(hash)];
    while (*link) {
        Entry& e = **link;
        if (e.hash == hash && SameKey(e.key, key)) {
            *link = std::move(e.next);  // frees the entry
            --count_;
            return;
        }
        link = &e.next;
    }
}

void TStringHashTable::FreeAll() {
    // Chains are unlinked one entry at a time: a long chain must not free
    // itself recursively.
    for (auto& head : buckets_) {
        while (head) head = std::move(head->next);
    }
    count_ = 0;
}

void TStringHashTable::Clear() {
    CheckNotIterating();
    FreeAll();
    Allocate(initialCapacity_);
}

void TStringHashTable::ForEach(
    const std::function<void(const std::wstring& key, const std::wstring& value)>& visit) const {
    struct Guard {
        bool& flag;
        explicit Guard(bool& f) : flag(f) { flag = true; }
        ~Guard() { flag = false; }
    } guard(iterating_);
    for (const auto& head : buckets_) {
        for (const Entry* e = head.get(); e != nullptr; e = e->next.get()) visit(e->key, e->value);
    }
}

}  // namespace velmora::vars
