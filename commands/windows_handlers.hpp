// The command handlers of the Windows build, installed before the script runs.
#pragma once

namespace velmora::commands {

void InstallWindowsHandlers();

}  // namespace velmora::commands
