// The variable store: every piece of script state is a named text value in
// one process-wide store. The script engine, the commands, the dialog
// runtime, the worker threads and the plug-in interface all read and write
// it, so every operation (reads included) takes the store's one lock.
//
// Names are compared without regard to case and keep the spelling of their
// first definition. An undefined name reads as the empty text; only
// VariableExists tells "undefined" from "empty". An empty name is never
// stored.
#pragma once

#include "vars/hash_table.hpp"

#include <cstddef>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class TVariableManager {
public:
    explicit TVariableManager(bool lockReads = true);
    TVariableManager(const TVariableManager&) = delete;
    TVariableManager& operator=(const TVariableManager&) = delete;

    // Insert or replace; replacing keeps the entry and its stored spelling.
    void SetItem(std::wstring_view varName, std::wstring_view value);
    // The value, or the empty text when the name does not exist.
    std::wstring GetItem(std::wstring_view varName) const;
    // The value when the name exists: one lock for both questions.
    std::optional<std::wstring> Find(std::wstring_view varName) const;
    // Appends the value to `out` when the name exists: the lookup of
    // substitution, without a copy of its own.
    bool AppendValue(std::wstring_view varName, std::wstring& out) const;
    bool Exists(std::wstring_view varName) const;
    void Remove(std::wstring_view varName);

    // The same with the name's hash given (it must be HashOf(varName)): a
    // caller that uses one name again and again hashes it once.
    static std::size_t HashOf(std::wstring_view varName) { return vars::TStringHashTable::HashOf(varName); }
    void SetItem(std::wstring_view varName, std::size_t hash, std::wstring_view value);
    std::wstring GetItem(std::wstring_view varName, std::size_t hash) const;
    bool AppendValue(std::wstring_view varName, std::size_t hash, std::wstring& out) const;
    bool Exists(std::wstring_view varName, std::size_t hash) const;

    // The store held for several operations in a row: for a sequence that
    // must see and change the table in one step (define, check, assign), or
    // that runs so often that one lock instead of several matters (a loop's
    // condition and counter). Lookups and writes through a holder take no
    // lock of their own; any other store call made meanwhile on the same
    // thread still works (the lock is recursive). A holder belongs to the
    // thread that made it.
    class Reader {
    public:
        explicit Reader(const TVariableManager& store) : Reader(store, false) {}
        ~Reader() { store_.Unlock(writer_); }
        Reader(const Reader&) = delete;
        Reader& operator=(const Reader&) = delete;

        // The stored value, or nullptr; valid while held and unchanged.
        const std::wstring* Find(std::wstring_view varName, std::size_t hash) const {
            return varName.empty() ? nullptr : store_.table_.Find(varName, hash);
        }

    protected:
        Reader(const TVariableManager& store, bool writer) : store_(store), writer_(writer) { store_.Lock(writer_); }
        const TVariableManager& store_;
        bool writer_;
    };
    class Writer : public Reader {
    public:
        explicit Writer(TVariableManager& store) : Reader(store, true), writable_(store) {}
        // SetItem through the holder.
        void Put(std::wstring_view varName, std::size_t hash, std::wstring_view value);
        // The stored value of a name, to be replaced through Replace (a
        // command that reads and writes one variable looks it up once).
        std::wstring* FindStored(std::wstring_view varName, std::size_t hash) {
            return varName.empty() ? nullptr : writable_.table_.Find(varName, hash);
        }
        // Put for a name whose stored value FindStored gave.
        void Replace(std::wstring& stored, std::wstring_view varName, std::size_t hash, std::wstring_view value);
        void Remove(std::wstring_view varName, std::size_t hash);

    private:
        TVariableManager& writable_;
    };

    // Every name, in enumeration order (stable while the store is unchanged).
    std::vector<std::wstring> GetNames() const;
    // name, value, name, value ... in enumeration order.
    std::vector<std::wstring> GetPairs() const;
    // Removes every variable.
    void Clear();

    // Substitution of $NAME$ references (vars/expand.cpp). Each name lookup
    // takes and releases the lock on its own; a text without a dollar sign
    // comes back as it was passed, without allocation or lookup.
    std::wstring Expand(std::wstring text) const;
    std::wstring ExpandQuoted(std::wstring text) const;
    // Expand for a text of the form $NAME$ whose name's hash is known.
    std::wstring ExpandReference(std::wstring_view text, std::size_t nameHash) const;

    std::size_t BucketCount() const;

    // Sets the names (compared like every name) whose changes
    // WatchedVersion counts, replacing the previous ones. The execution loop
    // watches what it reads back before each command, so that the writes of
    // ordinary commands do not make it look again.
    void Watch(const std::vector<std::wstring_view>& names);
    // Counts the writes and removals of watched names, and every Clear:
    // equal values mean no watched variable changed in between.
    // The loop only compares it with its previous reading, which 2^32
    // changes in between would be needed to fool; 32 bits keep the reading
    // before every command a plain load on 32-bit x86, where a 64-bit atomic
    // load is a locked instruction.
    std::uint32_t WatchedVersion() const { return watchedVersion_.load(std::memory_order_acquire); }

private:
    // Enter and leave the store's lock (recursive: operations may be called
    // while it is held); through Reader and Writer. Without the writer flag
    // they lock only when reads are locked.
    void Lock(bool writer) const {
        if (writer || lockReads_) lock_.lock();
    }
    void Unlock(bool writer) const {
        if (writer || lockReads_) lock_.unlock();
    }

    template <bool kQuoted>
    std::wstring ExpandImpl(std::wstring text) const;
    enum class OneReference { Value, AsWritten, Scan };
    template <bool kQuoted>
    OneReference ExpandOneReference(std::wstring_view text, std::size_t nameHash, std::wstring& value) const;

    struct WatchedName {
        std::wstring name;
        std::size_t hash;
    };
    // Called with the lock held, after a change of `varName`.
    void CountChange(std::wstring_view varName, std::size_t hash);

    mutable std::recursive_mutex lock_;
    std::atomic<std::uint32_t> watchedVersion_{0};
    std::vector<WatchedName> watched_;  // guarded by lock_
    vars::TStringHashTable table_{0, 2.0};
    bool lockReads_;
};

// The one store of the process, created on first use and never recreated.
TVariableManager& Variables();

// The origin that may overwrite command-line values on a silent run.
inline constexpr std::wstring_view kOriginInjectOverride = L"Inject Override Command Line";

std::wstring GetVariable(std::wstring_view name);
bool VariableExists(std::wstring_view name);
void DeleteVariable(std::wstring_view name);

// Define or assign. A value that is exactly the variable's own reference
// ($NAME$, any case) is stored as the empty text. A new variable is created
// as named, without the command-line protection; an existing one is assigned
// through AssignVariable. `origin` names the command ("Set Variable Action")
// or the phase ("Initialization", ...).
void SetVariable(std::wstring_view name, std::wstring_view value, std::wstring_view origin);

// Assignment with the command-line protection: on a silent run a variable
// given as NAME=VALUE on the command line keeps that value against every
// assignment except one whose origin is "Inject Override Command Line".
// The self-reference rule of SetVariable applies.
void AssignVariable(std::wstring_view name, std::wstring_view value, std::wstring_view origin);

// The same with the name's hash given (TVariableManager::HashOf(name)).
void AssignVariable(std::wstring_view name, std::size_t hash, std::wstring_view value, std::wstring_view origin);

// SetVariable through a writer the caller holds (`hash` is
// TVariableManager::HashOf(name)).
void SetVariable(TVariableManager::Writer& store, std::wstring_view name, std::size_t hash, std::wstring_view value,
                 std::wstring_view origin);
// AssignVariable onto the stored value of `name` that the caller found
// through the writer (FindStored).
void AssignVariable(TVariableManager::Writer& store, std::wstring& stored, std::wstring_view name, std::size_t hash,
                    std::wstring_view value, std::wstring_view origin);

// Whether AssignVariable would refuse this assignment.
bool IsProtectedByCommandLine(std::wstring_view name, std::wstring_view origin);

// The store as one comma text: name, value, name, value ...
std::wstring VariablesToCommaText();
// Stores the items of a comma text two by two as (name, value), without
// protection or upper-casing. An odd last item is ignored.
void VariablesFromCommaText(std::wstring_view commaText);

void ClearVariables();

// True exactly for "TRUE" in any case and for "-1".
bool TextToBool(std::wstring_view text);
std::wstring BoolToText(bool value);

// The string-list comma form. Items are separated by commas; an item with a
// blank, a control character, a comma or a double quote is written between
// double quotes with inner double quotes doubled. A list of one empty item
// is written as two double quotes.
std::wstring ToCommaText(const std::vector<std::wstring>& items);
// Reads the comma form back. Unquoted items also end at a blank or control
// character; blanks around items are skipped; a trailing comma adds an empty
// item; an unterminated quote takes the rest of the text.
std::vector<std::wstring> FromCommaText(std::wstring_view commaText);

}  // namespace velmora
