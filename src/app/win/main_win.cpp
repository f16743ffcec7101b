// The Windows entry point: wide arguments as the system gives them
// (-municode).
#include <string>
#include <vector>

#include "services/crash/exception_handler.h"
#include "ui/frontend.h"

// Installed during static initialisation, before any start-up code runs.
static ExceptionHandler g_exceptionHandler;

int wmain(int argc, wchar_t** argv) {
    return RunProgram(std::vector<std::wstring>(argv, argv + argc));
}
