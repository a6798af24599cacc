#include "l10n/builtin_messages.hpp"

namespace velmora::l10n {
namespace {

std::function<void(const std::wstring&)>& Observer() {
    static std::function<void(const std::wstring&)> observer;
    return observer;
}

}  // namespace

void LoadBuiltinMessages(const std::wstring& file) {
    if (Observer()) Observer()(file);
}

void SetBuiltinMessagesObserver(std::function<void(const std::wstring&)> observer) {
    Observer() = std::move(observer);
}

}  // namespace velmora::l10n
