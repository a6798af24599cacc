#include "vars/variables.hpp"

#include "core/text.hpp"
#include "startup/session.hpp"

namespace velmora {
namespace {

// Whether `value` is the reference $NAME$ to the variable itself, in any case.
bool IsOwnReference(std::wstring_view name, std::wstring_view value) {
    return value.size() == name.size() + 2 && value.front() == L'$' && value.back() == L'$' &&
           text::SameText(value.substr(1, name.size()), name);
}

std::wstring_view WithoutOwnReference(std::wstring_view name, std::wstring_view value) {
    return IsOwnReference(name, value) ? std::wstring_view() : value;
}

bool NeedsQuotes(std::wstring_view item) {
    for (wchar_t c : item) {
        if (static_cast<std::uint32_t>(c) <= L' ' || c == L'"' || c == L',') return true;
    }
    return false;
}

// Blanks and control characters separate items when unquoted.
bool IsBlank(wchar_t c) { return static_cast<std::uint32_t>(c) <= L' '; }

}  // namespace

TVariableManager::TVariableManager(bool lockReads) : lockReads_(lockReads) {}

// Each operation hashes its name before taking the lock: the hash depends on
// the name alone, and the lock is held for the table work only.

void TVariableManager::SetItem(std::wstring_view varName, std::wstring_view value) {
    SetItem(varName, HashOf(varName), value);
}

void TVariableManager::SetItem(std::wstring_view varName, std::size_t hash, std::wstring_view value) {
    Writer(*this).Put(varName, hash, value);
}

void TVariableManager::Writer::Put(std::wstring_view varName, std::size_t hash, std::wstring_view value) {
    if (varName.empty()) return;
    writable_.table_.Put(varName, hash, value);
    writable_.CountChange(varName, hash);
}

void TVariableManager::Writer::Replace(std::wstring& stored, std::wstring_view varName, std::size_t hash,
                                       std::wstring_view value) {
    stored.assign(value);
    writable_.CountChange(varName, hash);
}

void TVariableManager::Writer::Remove(std::wstring_view varName, std::size_t hash) {
    writable_.table_.Remove(varName, hash);
    writable_.CountChange(varName, hash);
}

std::wstring TVariableManager::GetItem(std::wstring_view varName) const { return GetItem(varName, HashOf(varName)); }

std::wstring TVariableManager::GetItem(std::wstring_view varName, std::size_t hash) const {
    const Reader guard(*this);
    const std::wstring* value = table_.Find(varName, hash);
    return value != nullptr ? *value : std::wstring();
}

std::optional<std::wstring> TVariableManager::Find(std::wstring_view varName) const {
    if (varName.empty()) return std::nullopt;
    const std::size_t hash = HashOf(varName);
    const Reader guard(*this);
    const std::wstring* value = table_.Find(varName, hash);
    if (value == nullptr) return std::nullopt;
    return *value;
}

bool TVariableManager::AppendValue(std::wstring_view varName, std::wstring& out) const {
    return AppendValue(varName, HashOf(varName), out);
}

bool TVariableManager::AppendValue(std::wstring_view varName, std::size_t hash, std::wstring& out) const {
    if (varName.empty()) return false;
    const Reader guard(*this);
    const std::wstring* value = table_.Find(varName, hash);
    if (value == nullptr) return false;
    out += *value;
    return true;
}

bool TVariableManager::Exists(std::wstring_view varName) const { return Exists(varName, HashOf(varName)); }

bool TVariableManager::Exists(std::wstring_view varName, std::size_t hash) const {
    if (varName.empty()) return false;
    const Reader guard(*this);
    return table_.Find(varName, hash) != nullptr;
}

void TVariableManager::Remove(std::wstring_view varName) { Writer(*this).Remove(varName, HashOf(varName)); }

void TVariableManager::Watch(const std::vector<std::wstring_view>& names) {
    std::vector<WatchedName> watched;
    for (std::wstring_view name : names) watched.push_back({std::wstring(name), vars::TStringHashTable::HashOf(name)});
    const Writer guard(*this);
    watched_ = std::move(watched);
    watchedVersion_.fetch_add(1, std::memory_order_acq_rel);
}

void TVariableManager::CountChange(std::wstring_view varName, std::size_t hash) {
    // Names equal without regard to case hash alike, so the hash rules out
    // nearly every name before a comparison.
    for (const WatchedName& w : watched_) {
        if (w.hash == hash && text::SameText(w.name, varName)) {
            watchedVersion_.fetch_add(1, std::memory_order_acq_rel);
            return;
        }
    }
}

std::vector<std::wstring> TVariableManager::GetNames() const {
    const Reader guard(*this);
    std::vector<std::wstring> names;
    names.reserve(static_cast<std::size_t>(table_.Count()));
    table_.ForEach([&names](const std::wstring& key, const std::wstring&) { names.push_back(key); });
    return names;
}

std::vector<std::wstring> TVariableManager::GetPairs() const {
    const Reader guard(*this);
    std::vector<std::wstring> pairs;
    pairs.reserve(static_cast<std::size_t>(table_.Count()) * 2);
    table_.ForEach([&pairs](const std::wstring& key, const std::wstring& value) {
        pairs.push_back(key);
        pairs.push_back(value);
    });
    return pairs;
}

void TVariableManager::Clear() {
    const Writer guard(*this);
    table_.Clear();
    watchedVersion_.fetch_add(1, std::memory_order_acq_rel);
}

std::size_t TVariableManager::BucketCount() const {
    const Reader guard(*this);
    return table_.BucketCount();
}

TVariableManager& Variables() {
    static TVariableManager store(true);
    return store;
}

std::wstring GetVariable(std::wstring_view name) { return Variables().GetItem(name); }

bool VariableExists(std::wstring_view name) { return Variables().Exists(name); }

void DeleteVariable(std::wstring_view name) {
    if (!name.empty()) Variables().Remove(name);
}

bool IsProtectedByCommandLine(std::wstring_view name, std::wstring_view origin) {
    const Session& session = TheSession();
    if (!session.silent || origin == kOriginInjectOverride) return false;
    const auto& assignments = session.commandLineAssignments;
    // Only the name positions of the name, value ... list count.
    for (std::size_t i = 0; i < assignments.size(); i += 2) {
        if (text::SameText(assignments[i], name)) return true;
    }
    return false;
}

void SetVariable(std::wstring_view name, std::wstring_view value, std::wstring_view origin) {
    if (name.empty()) return;
    // One lock over the existence test and the write, so that a variable
    // created by another thread in between still gets the protection check.
    TVariableManager::Writer store(Variables());
    SetVariable(store, name, TVariableManager::HashOf(name), value, origin);
}

void SetVariable(TVariableManager::Writer& store, std::wstring_view name, std::size_t hash, std::wstring_view value,
                 std::wstring_view origin) {
    if (store.Find(name, hash) != nullptr && IsProtectedByCommandLine(name, origin)) return;
    store.Put(name, hash, WithoutOwnReference(name, value));
}

void AssignVariable(std::wstring_view name, std::wstring_view value, std::wstring_view origin) {
    AssignVariable(name, TVariableManager::HashOf(name), value, origin);
}

void AssignVariable(std::wstring_view name, std::size_t hash, std::wstring_view value, std::wstring_view origin) {
    if (name.empty() || IsProtectedByCommandLine(name, origin)) return;
    Variables().SetItem(name, hash, WithoutOwnReference(name, value));
}

void AssignVariable(TVariableManager::Writer& store, std::wstring& stored, std::wstring_view name, std::size_t hash,
                    std::wstring_view value, std::wstring_view origin) {
    if (IsProtectedByCommandLine(name, origin)) return;
    store.Replace(stored, name, hash, WithoutOwnReference(name, value));
}

std::wstring VariablesToCommaText() { return ToCommaText(Variables().GetPairs()); }

void VariablesFromCommaText(std::wstring_view commaText) {
    const std::vector<std::wstring> items = FromCommaText(commaText);
    TVariableManager& store = Variables();
    for (std::size_t i = 0; i + 1 < items.size(); i += 2) store.SetItem(items[i], items[i + 1]);
}

void ClearVariables() {
    TVariableManager& store = Variables();
    for (const std::wstring& name : store.GetNames()) store.Remove(name);
}

bool TextToBool(std::wstring_view text) { return text == L"-1" || text::SameText(text, L"TRUE"); }

std::wstring BoolToText(bool value) { return value ? L"TRUE" : L"FALSE"; }

std::wstring ToCommaText(const std::vector<std::wstring>& items) {
    if (items.size() == 1 && items.front().empty()) return L"\"\"";
    std::wstring out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out.push_back(L',');
        const std::wstring& item = items[i];
        if (!NeedsQuotes(item)) {
            out += item;
            continue;
        }
        out.push_back(L'"');
        for (wchar_t c : item) {
            if (c == L'"') out.push_back(L'"');
            out.push_back(c);
        }
        out.push_back(L'"');
    }
    return out;
}

std::vector<std::wstring> FromCommaText(std::wstring_view s) {
    std::vector<std::wstring> items;
    std::size_t i = 0;
    const std::size_t n = s.size();
    auto skipBlanks = [&] {
        while (i < n && IsBlank(s[i])) ++i;
    };
    skipBlanks();
    while (i < n) {
        std::wstring item;
        if (s[i] == L'"') {
            ++i;
            while (i < n) {
                if (s[i] == L'"') {
                    if (i + 1 < n && s[i + 1] == L'"') {
                        item.push_back(L'"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item.push_back(s[i++]);
            }
        } else {
            const std::size_t start = i;
            while (i < n && !IsBlank(s[i]) && s[i] != L',') ++i;
            item.assign(s.substr(start, i - start));
        }
        items.push_back(std::move(item));
        skipBlanks();
        if (i < n && s[i] == L',') {
            ++i;
            if (i == n) items.emplace_back();
            skipBlanks();
        }
    }
    return items;
}

}  // namespace velmora
