// Owners for COM: the apartment of the calling thread, BSTR texts and
// VARIANTs (interface pointers are owned by ComPtr of win/handle.hpp). Each
// releases in its destructor and cannot be copied.
#pragma once

#include <objbase.h>
#include <oleauto.h>

#include <string>

namespace velmora::win {

// Joins the calling thread to a COM apartment for the owner's lifetime. A
// thread that already belongs to an apartment of the other kind keeps it:
// COM is usable there all the same, and leaving it is not ours to do.
class ComApartment {
public:
    explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED) noexcept {
        const HRESULT hr = ::CoInitializeEx(nullptr, model);
        joined_ = SUCCEEDED(hr);  // S_FALSE (already joined) is balanced too
        usable_ = joined_ || hr == RPC_E_CHANGED_MODE;
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (joined_) ::CoUninitialize();
    }
    bool usable() const noexcept { return usable_; }

private:
    bool joined_ = false;
    bool usable_ = false;
};

// An owned BSTR. A null BSTR reads as the empty text, as COM defines it.
class Bstr {
public:
    Bstr() noexcept = default;
    explicit Bstr(const std::wstring& text) : b_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { ::SysFreeString(b_); }

    BSTR get() const noexcept { return b_; }
    explicit operator bool() const noexcept { return b_ != nullptr; }

private:
    BSTR b_ = nullptr;
};

// An owned VARIANT, cleared in its destructor.
class Variant {
public:
    Variant() noexcept { ::VariantInit(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { ::VariantClear(&v_); }

    VARIANT* put() noexcept {
        ::VariantClear(&v_);
        return &v_;
    }
    const VARIANT& get() const noexcept { return v_; }
    // The text of a VT_BSTR value; the empty text for anything else (VT_NULL included).
    std::wstring Text() const {
        if (v_.vt != VT_BSTR || v_.bstrVal == nullptr) return {};
        return std::wstring(v_.bstrVal, ::SysStringLen(v_.bstrVal));
    }

private:
    VARIANT v_;
};

// Memory that a COM or shell function allocated for the caller (item ID
// lists, task-allocated texts), freed with CoTaskMemFree.
template <typename T>
class CoTaskMemory {
public:
    CoTaskMemory() noexcept = default;
    CoTaskMemory(const CoTaskMemory&) = delete;
    CoTaskMemory& operator=(const CoTaskMemory&) = delete;
    ~CoTaskMemory() { ::CoTaskMemFree(p_); }

    T* get() const noexcept { return p_; }
    T** put() noexcept {
        ::CoTaskMemFree(p_);
        p_ = nullptr;
        return &p_;
    }

private:
    T* p_ = nullptr;
};

}  // namespace velmora::win
