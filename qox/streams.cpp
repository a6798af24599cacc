#include "qox/streams.hpp"

namespace velmora::qox {

void* FileStream::Find(REFIID iid) {
    if (iid == IID_IUnknown) {
        return access_ == Access::Read ? static_cast<void*>(static_cast<sz::IInStream*>(this))
                                       : static_cast<void*>(static_cast<sz::IOutStream*>(this));
    }
    if (iid == sz::kIidStreamGetSize) return static_cast<sz::IStreamGetSize*>(this);
    if (access_ == Access::Read && (iid == sz::kIidSequentialInStream || iid == sz::kIidInStream)) {
        return static_cast<sz::IInStream*>(this);
    }
    if (access_ == Access::Write && (iid == sz::kIidSequentialOutStream || iid == sz::kIidOutStream)) {
        return static_cast<sz::IOutStream*>(this);
    }
    return nullptr;
}

HRESULT FileStream::Read(void* data, UINT32 size, UINT32* processed) {
    if (processed != nullptr) *processed = 0;
    if (!file_) return E_FAIL;
    DWORD read = 0;
    if (!::ReadFile(file_.get(), data, size, &read, nullptr)) {
        lastError_ = ::GetLastError();
        return HRESULT_FROM_WIN32(lastError_);
    }
    if (processed != nullptr) *processed = read;
    return S_OK;
}

HRESULT FileStream::Write(const void* data, UINT32 size, UINT32* processed) {
    if (processed != nullptr) *processed = 0;
    if (!file_) return E_FAIL;
    const char* bytes = static_cast<const char*>(data);
    UINT32 done = 0;
    while (done < size) {
        DWORD written = 0;
        if (!::WriteFile(file_.get(), bytes + done, size - done, &written, nullptr) || written == 0) {
            lastError_ = ::GetLastError();
            if (processed != nullptr) *processed = done;
            return lastError_ != 0 ? HRESULT_FROM_WIN32(lastError_) : E_FAIL;
        }
        done += written;
    }
    if (processed != nullptr) *processed = done;
    return S_OK;
}

HRESULT FileStream::Seek(INT64 offset, UINT32 origin, UINT64* newPosition) {
    if (!file_) return E_FAIL;
    if (origin > FILE_END) return STG_E_INVALIDFUNCTION;
    LARGE_INTEGER move{};
    move.QuadPart = offset;
    LARGE_INTEGER at{};
    if (!::SetFilePointerEx(file_.get(), move, &at, origin)) return HRESULT_FROM_WIN32(::GetLastError());
    if (newPosition != nullptr) *newPosition = static_cast<UINT64>(at.QuadPart);
    return S_OK;
}

HRESULT FileStream::SetSize(UINT64 newSize) {
    if (!file_) return E_FAIL;
    LARGE_INTEGER here{}, zero{};
    if (!::SetFilePointerEx(file_.get(), zero, &here, FILE_CURRENT)) return HRESULT_FROM_WIN32(::GetLastError());
    LARGE_INTEGER size{};
    size.QuadPart = static_cast<LONGLONG>(newSize);
    if (!::SetFilePointerEx(file_.get(), size, nullptr, FILE_BEGIN) || !::SetEndOfFile(file_.get())) {
        return HRESULT_FROM_WIN32(::GetLastError());
    }
    if (!::SetFilePointerEx(file_.get(), here, nullptr, FILE_BEGIN)) return HRESULT_FROM_WIN32(::GetLastError());
    return S_OK;
}

HRESULT FileStream::GetSize(UINT64* size) {
    if (size == nullptr) return E_POINTER;
    LARGE_INTEGER s{};
    if (!file_ || !::GetFileSizeEx(file_.get(), &s)) return E_FAIL;
    *size = static_cast<UINT64>(s.QuadPart);
    return S_OK;
}

}  // namespace velmora::qox
