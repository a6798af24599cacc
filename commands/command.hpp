// What a command handler sees of the command it runs, and the command table
// that maps every built-in command name to its handler.
#pragma once

#include "container/container.hpp"

#include <memory>
#include <string>
#include <string_view>

namespace velmora::commands {

// What a handler works out once from a command's parameter lines and keeps
// for the command's later runs (the lines do not change during a run).
struct CommandCache {
    virtual ~CommandCache() = default;
};

class CommandContext {
public:
    CommandContext(const container::Container& container, std::size_t index)
        : container_(container), index_(index) {}
    // `cache` is the run's slot for this command: it lives as long as the
    // run and belongs to the command's one handler.
    CommandContext(const container::Container& container, std::size_t index, std::unique_ptr<CommandCache>& cache)
        : container_(container), index_(index), cache_(&cache) {}

    std::size_t Index() const { return index_; }
    const std::wstring& Name() const { return container_.commandNames[index_]; }
    // Parameter line k (from 1), unsubstituted; empty when absent.
    const std::wstring& Parameter(std::size_t k) const { return container_.Parameter(index_, k); }
    // The origin of the command's variable writes: its name and " Action".
    std::wstring Origin() const { return Name() + L" Action"; }

    // Result-variable conventions: the name of a parameter written bare or
    // between dollar signs, defined upper-cased and empty when it does not exist.
    std::wstring ResultVariable(std::size_t k) const;

    // Parameter k substituted as a text, or as a file or folder path.
    std::wstring Text(std::size_t k) const;
    std::wstring Path(std::size_t k) const;

    // Stores a result with the command-line protection (AssignVariable).
    void Assign(std::wstring_view variable, std::wstring_view value) const;


    // The handler's data for this command, made by `make` (returning a
    // std::unique_ptr<T>, T derived from CommandCache) on the first run of
    // the command; without a slot of the run, made for this call alone. A
    // command has one handler for the whole run, so the slot holds a T.
    template <typename T, typename Make>
    const T& Cached(Make make) {
        std::unique_ptr<CommandCache>& slot = cache_ != nullptr ? *cache_ : own_;
        if (!slot) slot = make();
        return static_cast<const T&>(*slot);
    }

private:
    const container::Container& container_;
    std::size_t index_;
    std::unique_ptr<CommandCache>* cache_ = nullptr;
    std::unique_ptr<CommandCache> own_;
};

using Handler = void (*)(CommandContext&);

// Every built-in command name, in the order of its family.
const std::vector<std::wstring_view>& BuiltInCommandNames();

// The handler of a built-in name (compared exactly), or null when the name
// is not built in or its handler is not built yet: such a command does nothing.
Handler FindHandler(std::wstring_view name);

// Installs the handler of a built-in name. The portable handlers install
// themselves; the Windows build adds the platform-bound ones at start-up.
void SetHandler(std::wstring_view name, Handler handler);

// Installs the portable handlers (variable and string commands, expressions).
void InstallCoreHandlers();

}  // namespace velmora::commands
