// Owners for Win32 handles: each closes in its destructor, cannot be copied,
// and hands its handle on with release().
#pragma once

#include <windows.h>

#include <utility>

namespace velmora::win {

template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Type h) noexcept : h_(h) {}
    UniqueHandle(UniqueHandle&& other) noexcept : h_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    Type get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return Traits::Valid(h_); }
    Type release() noexcept { return std::exchange(h_, Traits::Invalid()); }
    void reset(Type h = Traits::Invalid()) noexcept {
        if (Traits::Valid(h_)) Traits::Close(h_);
        h_ = h;
    }

private:
    Type h_ = Traits::Invalid();
};

// Kernel handles that report failure as INVALID_HANDLE_VALUE (files).
struct FileHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool Valid(Type h) noexcept { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};

// Kernel handles that report failure as null (processes, threads, events).
struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static bool Valid(Type h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};

struct ModuleTraits {
    using Type = HMODULE;
    static Type Invalid() noexcept { return nullptr; }
    static bool Valid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { ::FreeLibrary(h); }
};

struct RegKeyTraits {
    using Type = HKEY;
    static Type Invalid() noexcept { return nullptr; }
    static bool Valid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { ::RegCloseKey(h); }
};

struct FindTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool Valid(Type h) noexcept { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(Type h) noexcept { ::FindClose(h); }
};

// COM interface pointers: the owner holds one reference and releases it.
template <typename Interface>
struct ComTraits {
    using Type = Interface*;
    static Type Invalid() noexcept { return nullptr; }
    static bool Valid(Type p) noexcept { return p != nullptr; }
    static void Close(Type p) noexcept { p->Release(); }
};

using FileHandle = UniqueHandle<FileHandleTraits>;
using KernelHandle = UniqueHandle<KernelHandleTraits>;
using Module = UniqueHandle<ModuleTraits>;
using RegKey = UniqueHandle<RegKeyTraits>;
using FindHandle = UniqueHandle<FindTraits>;
template <typename Interface>
using ComPtr = UniqueHandle<ComTraits<Interface>>;

}  // namespace velmora::win
