// Process entry of the engine.
#include "startup/startup.hpp"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return static_cast<int>(velmora::RunEngine());
}
