#include "startup/run_platform.hpp"

#include "startup/session.hpp"
#include "win/file.hpp"
#include "win/message.hpp"

#include <windows.h>

namespace velmora {

WindowsRunPlatform::WindowsRunPlatform(const container::Container& container) {
    values_.container = &container;
}

void WindowsRunPlatform::PreInitialization() {
    values_.msiFile = TheSession().msiPackage;
    vars::SetPredefinedVariables(vars::Phase::PreInitialization, values_);
}

void WindowsRunPlatform::Initialization() {
    vars::SetPredefinedVariables(vars::Phase::Initialization, values_);
}

void WindowsRunPlatform::PumpMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

std::wstring WindowsRunPlatform::ShortDate() { return vars::CurrentDateText(); }

std::wstring WindowsRunPlatform::ShortTime() { return vars::CurrentTimeText(); }

bool WindowsRunPlatform::MarkerExists(const std::wstring& path) { return win::FileExists(path); }

void WindowsRunPlatform::CreateMarker(const std::wstring& path) {
    // An empty file; a marker that cannot be written only loses the guard.
    win::WriteFileBytes(path, {});
}

void WindowsRunPlatform::DeleteMarker(const std::wstring& path) { win::DeleteFileIfExists(path); }

void WindowsRunPlatform::ShowRuntimeError(const std::wstring& text) { win::ShowError(text); }

}  // namespace velmora
