// Extraction of one archive through qox.lib (the engine's routine, 7z.dll
// in process) against 7-Zip's own console program 7z.exe (the same 7z.dll
// build, started as a process per run), under Wine. Prints the median of
// each and their ratio. Run through bench/win/extract_bench.sh.
//
//   extract_bench.exe ARCHIVE 7Z-EXE SCRATCH-FOLDER [RUNS]
#include "core/text.hpp"
#include "media/extract.hpp"
#include "win/file.hpp"
#include "win/handle.hpp"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace velmora;

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(f.QuadPart);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool RunSevenZip(const std::wstring& exe, const std::wstring& archive, const std::wstring& out) {
    std::wstring cmd = L"\"" + exe + L"\" x -y -bso0 -bsp0 \"-o" + out + L"\" \"" + archive + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si,
                          &pi)) {
        return false;
    }
    win::KernelHandle process(pi.hProcess), thread(pi.hThread);
    DWORD code = 1;
    return ::WaitForSingleObject(process.get(), INFINITE) == WAIT_OBJECT_0 &&
           ::GetExitCodeProcess(process.get(), &code) && code == 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: extract_bench ARCHIVE 7Z-EXE SCRATCH [RUNS]\n");
        return 2;
    }
    const std::wstring archive = argv[1], sevenZip = argv[2], scratch = win::WithBackslash(argv[3]);
    const int runs = argc > 4 ? std::max(1, _wtoi(argv[4])) : 5;
    if (!media::LoadArchiveLibrary(win::FolderOf(win::ModulePath(nullptr)))) {
        std::fprintf(stderr, "qox.lib cannot be loaded\n");
        return 1;
    }
    std::vector<double> qox, reference;
    for (int i = 0; i < runs; ++i) {
        const std::wstring out = scratch + L"qox";
        win::RemoveFolderTree(out);
        media::ExtractRequest request;
        request.archive = archive;
        request.destination = out;
        LARGE_INTEGER a, b;
        ::QueryPerformanceCounter(&a);
        const std::wstring error = media::ExtractArchive(request);
        ::QueryPerformanceCounter(&b);
        if (!error.empty()) {
            std::fprintf(stderr, "qox.lib extraction failed: %s\n", text::ToUtf8(error).c_str());
            return 1;
        }
        qox.push_back(Seconds(a, b));

        const std::wstring out7 = scratch + L"7z";
        win::RemoveFolderTree(out7);
        ::QueryPerformanceCounter(&a);
        const bool ok = RunSevenZip(sevenZip, archive, out7);
        ::QueryPerformanceCounter(&b);
        if (!ok) {
            std::fprintf(stderr, "7z.exe extraction failed\n");
            return 1;
        }
        reference.push_back(Seconds(a, b));
    }
    win::RemoveFolderTree(scratch + L"qox");
    win::RemoveFolderTree(scratch + L"7z");
    const double q = Median(qox), r = Median(reference);
    std::printf("extract, median of %d runs under Wine\n", runs);
    std::printf("  qox.lib (engine routine, 7z.dll in process): %.3f s\n", q);
    std::printf("  7z.exe x (7-Zip console, its own process):   %.3f s\n", r);
    std::printf("  ratio qox.lib / 7z.exe: %.2f\n", q / r);
    return 0;
}
