// What the script run asks of Windows: messages, the user's date and time
// formats, the single-instance marker, the runtime error box.
#pragma once

#include "engine/run.hpp"
#include "vars/predefined.hpp"

namespace velmora {

class WindowsRunPlatform : public engine::RunPlatform {
public:
    explicit WindowsRunPlatform(const container::Container& container);

    void PreInitialization() override;
    void Initialization() override;
    void PumpMessages() override;
    std::wstring ShortDate() override;
    std::wstring ShortTime() override;
    bool MarkerExists(const std::wstring& path) override;
    void CreateMarker(const std::wstring& path) override;
    void DeleteMarker(const std::wstring& path) override;
    void ShowRuntimeError(const std::wstring& text) override;
    bool MediaRemoved() override;

private:
    vars::RunValues values_;
};

}  // namespace velmora
