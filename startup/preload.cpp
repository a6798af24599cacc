#include "startup/preload.hpp"

#include "core/text.hpp"
#include "ui/dialogs.hpp"

namespace velmora {
namespace {

bool IsActiveDialog(const container::Container& c, std::size_t i) {
    return c.commandNames[i] == L"Display Dialog" && !c.IsCommentedOut(i);
}

}  // namespace

std::size_t CountActiveDialogs(const container::Container& c) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < c.CommandCount(); ++i) count += IsActiveDialog(c, i);
    return count;
}

std::size_t PreloadDialogs(const container::Container& c, const std::wstring& supportFolder,
                           const std::function<void()>& advance) {
    ui::InitDialogs(supportFolder);
    std::size_t count = 0;
    for (std::size_t i = 0; i < c.CommandCount(); ++i) {
        if (!IsActiveDialog(c, i)) continue;
        ui::RegisterDialog(text::ToDecimal(static_cast<std::int64_t>(i)), supportFolder + c.Parameter(i, 1) + L".dfm");
        ++count;
        if (advance) advance();
    }
    return count;
}

}  // namespace velmora
