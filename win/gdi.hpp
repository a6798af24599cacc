// Owners for GDI resources.
#pragma once

#include <windows.h>

namespace velmora::win {

// The screen's device context, released in the destructor.
class ScreenDc {
public:
    ScreenDc() noexcept : dc_(::GetDC(nullptr)) {}
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    ~ScreenDc() {
        if (dc_ != nullptr) ::ReleaseDC(nullptr, dc_);
    }
    HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HDC dc_;
};

}  // namespace velmora::win
