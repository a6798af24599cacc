// The COM interfaces through which 7z.dll is driven, declared from 7-Zip's
// public interface documentation. Every 7-Zip interface id has the form
// {23170F69-40C1-278A-0000-00gg00ii0000}: gg is the interface group, ii its
// number within the group. Methods are stdcall, as COM's are.
#pragma once

#include <windows.h>
#include <propidl.h>

#include <cstdint>

namespace velmora::qox::sz {

constexpr GUID InterfaceId(unsigned char group, unsigned char id) {
    return GUID{0x23170F69, 0x40C1, 0x278A, {0x00, 0x00, 0x00, group, 0x00, id, 0x00, 0x00}};
}

// The 7z format handler's class id.
constexpr GUID kClsid7z{0x23170F69, 0x40C1, 0x278A, {0x10, 0x00, 0x00, 0x01, 0x10, 0x07, 0x00, 0x00}};

constexpr GUID kIidProgress = InterfaceId(0x00, 0x05);
constexpr GUID kIidSequentialInStream = InterfaceId(0x03, 0x01);
constexpr GUID kIidSequentialOutStream = InterfaceId(0x03, 0x02);
constexpr GUID kIidInStream = InterfaceId(0x03, 0x03);
constexpr GUID kIidOutStream = InterfaceId(0x03, 0x04);
constexpr GUID kIidStreamGetSize = InterfaceId(0x03, 0x06);
constexpr GUID kIidCryptoGetTextPassword = InterfaceId(0x05, 0x10);
constexpr GUID kIidCryptoGetTextPassword2 = InterfaceId(0x05, 0x11);
constexpr GUID kIidSetProperties = InterfaceId(0x06, 0x03);
constexpr GUID kIidArchiveOpenCallback = InterfaceId(0x06, 0x10);
constexpr GUID kIidArchiveExtractCallback = InterfaceId(0x06, 0x20);
constexpr GUID kIidInArchive = InterfaceId(0x06, 0x60);
constexpr GUID kIidArchiveUpdateCallback = InterfaceId(0x06, 0x80);
constexpr GUID kIidOutArchive = InterfaceId(0x06, 0xA0);

// Item property ids.
enum PropId : PROPID {
    kpidPath = 3,
    kpidIsDir = 6,
    kpidSize = 7,
    kpidPackSize = 8,
    kpidAttrib = 9,
    kpidCTime = 10,
    kpidATime = 11,
    kpidMTime = 12,
    kpidEncrypted = 15,
    kpidCRC = 19,
    kpidIsAnti = 21,
};

// IArchiveExtractCallback's ask modes and operation results.
enum AskMode : std::int32_t { kAskExtract = 0, kAskTest = 1, kAskSkip = 2 };
enum OperationResult : std::int32_t {
    kOpOk = 0,
    kOpUnsupportedMethod = 1,
    kOpDataError = 2,
    kOpCrcError = 3,
    kOpUnavailable = 4,
    kOpUnexpectedEnd = 5,
    kOpDataAfterEnd = 6,
    kOpIsNotArc = 7,
    kOpHeadersError = 8,
    kOpWrongPassword = 9,
};

// Windows file time: what GetFileTimeType answers for FILETIME precision.
constexpr std::uint32_t kFileTimeWindows = 0;

struct ISequentialInStream : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Read(void* data, UINT32 size, UINT32* processed) = 0;
};
struct ISequentialOutStream : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Write(const void* data, UINT32 size, UINT32* processed) = 0;
};
struct IInStream : ISequentialInStream {
    virtual HRESULT STDMETHODCALLTYPE Seek(INT64 offset, UINT32 origin, UINT64* newPosition) = 0;
};
struct IOutStream : ISequentialOutStream {
    virtual HRESULT STDMETHODCALLTYPE Seek(INT64 offset, UINT32 origin, UINT64* newPosition) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSize(UINT64 newSize) = 0;
};
struct IStreamGetSize : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetSize(UINT64* size) = 0;
};

struct IProgress : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetTotal(UINT64 total) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCompleted(const UINT64* completed) = 0;
};

struct ICryptoGetTextPassword : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CryptoGetTextPassword(BSTR* password) = 0;
};
struct ICryptoGetTextPassword2 : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CryptoGetTextPassword2(INT32* passwordIsDefined, BSTR* password) = 0;
};

struct IArchiveOpenCallback : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetTotal(const UINT64* files, const UINT64* bytes) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCompleted(const UINT64* files, const UINT64* bytes) = 0;
};

struct IArchiveExtractCallback : IProgress {
    virtual HRESULT STDMETHODCALLTYPE GetStream(UINT32 index, ISequentialOutStream** stream, INT32 askMode) = 0;
    virtual HRESULT STDMETHODCALLTYPE PrepareOperation(INT32 askMode) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetOperationResult(INT32 result) = 0;
};

struct IInArchive : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Open(IInStream* stream, const UINT64* maxCheckStart,
                                           IArchiveOpenCallback* callback) = 0;
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNumberOfItems(UINT32* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetProperty(UINT32 index, PROPID id, PROPVARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Extract(const UINT32* indices, UINT32 count, INT32 testMode,
                                              IArchiveExtractCallback* callback) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetArchiveProperty(PROPID id, PROPVARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNumberOfProperties(UINT32* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPropertyInfo(UINT32 index, BSTR* name, PROPID* id, VARTYPE* type) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNumberOfArchiveProperties(UINT32* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetArchivePropertyInfo(UINT32 index, BSTR* name, PROPID* id,
                                                             VARTYPE* type) = 0;
};

struct IArchiveUpdateCallback : IProgress {
    virtual HRESULT STDMETHODCALLTYPE GetUpdateItemInfo(UINT32 index, INT32* newData, INT32* newProps,
                                                        UINT32* indexInArchive) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetProperty(UINT32 index, PROPID id, PROPVARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStream(UINT32 index, ISequentialInStream** stream) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetOperationResult(INT32 result) = 0;
};

struct IOutArchive : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE UpdateItems(ISequentialOutStream* stream, UINT32 count,
                                                  IArchiveUpdateCallback* callback) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFileTimeType(UINT32* type) = 0;
};

struct ISetProperties : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetProperties(const wchar_t* const* names, const PROPVARIANT* values,
                                                    UINT32 count) = 0;
};

// 7z.dll's factory export.
using CreateObjectFn = HRESULT(WINAPI*)(const GUID* clsid, const GUID* iid, void** object);

}  // namespace velmora::qox::sz
