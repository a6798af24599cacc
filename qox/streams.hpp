// File streams for 7z.dll: the archive read with seeks, the new archive
// written with seeks, items written out and source files read in.
#pragma once

#include "qox/com.hpp"
#include "qox/sevenzip.hpp"
#include "win/handle.hpp"

namespace velmora::qox {

class FileStream final : public ComObject<sz::IInStream, sz::IOutStream, sz::IStreamGetSize> {
public:
    enum class Access { Read, Write };
    FileStream(win::FileHandle file, Access access) : file_(std::move(file)), access_(access) {}

    HRESULT STDMETHODCALLTYPE Read(void* data, UINT32 size, UINT32* processed) override;
    HRESULT STDMETHODCALLTYPE Write(const void* data, UINT32 size, UINT32* processed) override;
    HRESULT STDMETHODCALLTYPE Seek(INT64 offset, UINT32 origin, UINT64* newPosition) override;
    HRESULT STDMETHODCALLTYPE SetSize(UINT64 newSize) override;
    HRESULT STDMETHODCALLTYPE GetSize(UINT64* size) override;

    HANDLE handle() const { return file_.get(); }
    // Closes the file now (the object may live on in 7z.dll's hands).
    void CloseFile() { file_.reset(); }
    // The Win32 error of the last failed read or write, 0 when none failed.
    DWORD lastError() const { return lastError_; }

private:
    void* Find(REFIID iid) override;

    win::FileHandle file_;
    Access access_;
    DWORD lastError_ = 0;
};

}  // namespace velmora::qox
