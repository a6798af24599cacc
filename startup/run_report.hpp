// The run report: a UTF-8 JSON file that deployment tools (and our tests)
// read after the process ended. Asked for with /report=PATH (or -report=);
// written once, when the process ends, however it ends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

struct RunReport {
    std::wstring path;  // empty: no report

    std::wstring end = L"startupFailure";  // completed, terminated, runtimeError, compileError,
                                           // startupFailure, secondInstance, cancelled
    std::wstring message;                  // the error's text
    std::int64_t commandIndex = -1;        // the failing command
    std::wstring sourceFile;               // of a runtime error
    std::int64_t sourceLine = 0;

    // The setup's identity, kept when the container is read (the container
    // itself is freed before the process ends).
    bool haveSetup = false;
    std::wstring title, version, productCode, revisionCode;
};

// The report's path from the command line arguments: the first argument
// that begins with "/report=" or "-report=" (without regard to case), its
// value as written. Empty when there is none.
std::wstring ReportPathOf(const std::vector<std::wstring>& arguments);

// The JSON text: exit code, how the run ended, the engine and setup identity
// and the final variables, with the values of names holding "PASSWORD" masked.
std::string RunReportJson(const RunReport& report, std::uint32_t exitCode);

// Writes the report when one was asked for; failures change nothing.
void WriteRunReport(const RunReport& report, std::uint32_t exitCode);

}  // namespace velmora
