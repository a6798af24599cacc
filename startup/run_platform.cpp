#include "startup/run_platform.hpp"

#include "startup/session.hpp"
#include "vars/variables.hpp"
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

namespace velmora {

bool WindowsRunPlatform::MediaRemoved() {
    // A setup started from a removable or network medium whose folder is no
    // longer there: the user took the disc out before the end.
    const std::wstring folder = GetVariable(L"EXEDIR");
    if (folder.size() < 3) return false;
    std::wstring root;
    if (folder[1] == L':') {
        root = folder.substr(0, 2) + L"\\";
    } else if (folder.rfind(L"\\\\", 0) == 0) {
        const auto server = folder.find(L'\\', 2);
        const auto share = server == std::wstring::npos ? std::wstring::npos : folder.find(L'\\', server + 1);
        root = share == std::wstring::npos ? folder + L"\\" : folder.substr(0, share + 1);
    } else {
        return false;
    }
    return ::GetDriveTypeW(root.c_str()) != DRIVE_FIXED && !win::FolderExists(folder);
}

}  // namespace velmora
