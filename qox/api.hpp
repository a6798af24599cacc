// The archive library's interface, as the engine imports it by name: stdcall
// functions over UTF-16 strings whose nonzero result means success. The
// library (qox/) and the engine's binding (media/) both build on this header.
//
// Failure codes of GetLastArchiveError (0 after a call that succeeded):
//   1001  invalid argument (null pointer, unknown mode, empty list)
//   1002  7z.dll is not available (Set7zipDllDirectory not called, or it failed)
//   1003  the archive file cannot be opened or read
//   1004  the archive cannot be opened: unsupported archive or incorrect password
//         (also an encrypted item that fails to decode: a wrong password)
//   1005  data error: the archive is damaged (CRC, truncated, bad headers)
//   1006  unsupported compression or encryption method
//   1007  an output file or folder cannot be created or written
//   1008  aborted by a callback (progress, tick or overwrite answer 0)
//   1009  a requested item is not in the archive
//   1010  unsafe item path: absolute, drive- or UNC-qualified, climbing with
//         "..", or a device name; nothing is extracted
//   1011  invalid switch string or compression setting
//   1012  nothing to add: the include list matched no file
//   1013  a file to add cannot be opened or read
//   1014  the new archive cannot be written or put in place of the old one
//   1016  reserved for the engine: its out-of-process extraction failed
//   1017  unexpected failure inside 7z.dll
//   1018  out of memory
#pragma once

#include <windows.h>

#include <cstdint>

namespace velmora::qox {

enum ErrorCode : DWORD {
    kOk = 0,
    kInvalidArgument = 1001,
    kNoSevenZip = 1002,
    kCannotReadArchive = 1003,
    kCannotOpen = 1004,
    kDataError = 1005,
    kUnsupportedMethod = 1006,
    kCannotWrite = 1007,
    kAborted = 1008,
    kItemNotFound = 1009,
    kUnsafePath = 1010,
    kInvalidSwitch = 1011,
    kNothingToAdd = 1012,
    kCannotReadSource = 1013,
    kCannotReplaceArchive = 1014,
    kOutOfProcessFailed = 1016,
    kUnexpected = 1017,
    kOutOfMemory = 1018,
};

// The password callback's buffer holds this many characters, the terminating
// null included.
constexpr DWORD kPasswordBufferChars = 1024;

// Returns 1 after copying the password (null-terminated) into the buffer, 0 when there is none.
using PasswordCallback = BOOL(WINAPI*)(wchar_t* buffer);
// Called as work proceeds with the current item and the bytes done of the
// total; returns nonzero to go on, 0 to abort.
using ProgressCallback = BOOL(WINAPI*)(const wchar_t* item, std::uint64_t done, std::uint64_t total);
// Called once per item with the items done and the item count; 0 aborts.
using TickCallback = BOOL(WINAPI*)(DWORD itemsDone, DWORD itemCount);
// Asked before an existing file is replaced: size (low, high), last write time
// (low, high) and attributes of the existing file, then the same of the
// incoming one. Answers: 4 replace it, 0 abort the extraction, anything else
// (1 by convention) keep the existing file.
using OverwriteCallback = DWORD(WINAPI*)(DWORD existingSizeLow, DWORD existingSizeHigh, DWORD existingTimeLow,
                                         DWORD existingTimeHigh, DWORD existingAttributes, DWORD incomingSizeLow,
                                         DWORD incomingSizeHigh, DWORD incomingTimeLow, DWORD incomingTimeHigh,
                                         DWORD incomingAttributes);
constexpr DWORD kOverwriteReplace = 4;
constexpr DWORD kOverwriteKeep = 1;
constexpr DWORD kOverwriteAbort = 0;

// A file list passed by address (TSZW_TARGETFILES): an array of string pointers and their count.
struct TargetFiles {
    const wchar_t* const* files;
    DWORD count;
};

// One entry of OpenListArchive's list, 48 bytes; the path comes first.
struct ListItem {
    const wchar_t* path;      // as stored, with backslashes
    DWORD attributes;
    std::uint64_t size;
    std::uint64_t packedSize;
    FILETIME modified;
    DWORD crc;
    DWORD flags;              // kItemIsFolder, kItemIsEncrypted
    DWORD index;              // the item's index in the archive
    DWORD reserved;
};
constexpr DWORD kItemIsFolder = 1;
constexpr DWORD kItemIsEncrypted = 2;
static_assert(sizeof(void*) != 4 || sizeof(ListItem) == 48, "the engine reads 48-byte list entries");

// ExtractArchive's second argument: 1 = the target list names the items to
// extract (what the engine passes), 0 = every item, the list ignored.
constexpr DWORD kExtractListed = 1;
constexpr DWORD kExtractAll = 0;
// ExtractArchive's path flag.
constexpr DWORD kKeepPaths = 0;
constexpr DWORD kNoPaths = 1;

// CreateArchive's path modes: how a file found through an include entry
// ("C:\src\bin\*.dll") is named in the archive.
constexpr DWORD kPathRelative = 0;    // below the entry's folder: "a.dll", "sub\b.dll"
constexpr DWORD kPathFull = 1;        // the full path without its drive: "src\bin\a.dll"
constexpr DWORD kPathWithFolder = 2;  // with the entry's last folder: "bin\a.dll"

// The exports, as the binding declares its function pointers.
using Set7zipDllDirectoryFn = BOOL(WINAPI*)(const wchar_t* folder);
using TestArchiveFn = BOOL(WINAPI*)(const wchar_t* archive, DWORD, DWORD, DWORD, DWORD, const wchar_t* password,
                                    PasswordCallback, ProgressCallback);
using OpenListArchiveFn = void*(WINAPI*)(const wchar_t* archive, DWORD, PasswordCallback, DWORD, DWORD, DWORD,
                                         const wchar_t* password, const ListItem** items, DWORD* count);
using CloseListArchiveFn = BOOL(WINAPI*)(void* handle);
using ExtractArchiveFn = BOOL(WINAPI*)(const wchar_t* archive, DWORD mode, const wchar_t* destination,
                                       const TargetFiles* targets, DWORD pathFlag, const wchar_t* password,
                                       PasswordCallback, ProgressCallback, TickCallback, OverwriteCallback);
using CreateArchiveFn = BOOL(WINAPI*)(const wchar_t* archive, DWORD modeCode, const TargetFiles* includes,
                                      const TargetFiles* excludes, DWORD pathMode, const wchar_t* switches,
                                      const wchar_t* password, ProgressCallback, TickCallback, DWORD);
using DeleteFromArchiveFn = BOOL(WINAPI*)(const wchar_t* archive, DWORD mode, const TargetFiles* targets, DWORD,
                                          DWORD, DWORD, const wchar_t* password, PasswordCallback,
                                          ProgressCallback, TickCallback);
using GetLastArchiveErrorFn = DWORD(WINAPI*)();

}  // namespace velmora::qox
