// Dialog preloading at start-up: one page per active Display Dialog command.
#pragma once

#include "container/container.hpp"

#include <functional>
#include <string>

namespace velmora {

// The number of Display Dialog commands that are not commented out.
std::size_t CountActiveDialogs(const container::Container& container);

// Initialises the dialog registry with the support folder and registers, in
// command order, each active Display Dialog command under its index with
// the definition support folder + dialog name + ".dfm". `advance` runs after
// each one (start-up moves its progress bar). Returns how many were registered.
std::size_t PreloadDialogs(const container::Container& container, const std::wstring& supportFolder,
                           const std::function<void()>& advance);

}  // namespace velmora
