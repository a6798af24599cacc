// The COM objects the library hands to 7z.dll: one reference count per
// object, QueryInterface answered from the object's own table.
#pragma once

#include <windows.h>

#include <atomic>

namespace velmora::qox {

template <typename... Interfaces>
class ComObject : public Interfaces... {
public:
    ComObject() = default;
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = Find(iid);
        if (*out == nullptr) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

protected:
    virtual ~ComObject() = default;
    // The interface pointer for the id, or null; IUnknown included.
    virtual void* Find(REFIID iid) = 0;

private:
    std::atomic<ULONG> refs_{1};  // the creator's reference
};

}  // namespace velmora::qox
