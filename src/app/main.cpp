#include <string>
#include <vector>

#include "services/crash/exception_handler.h"
#include "ui/frontend.h"
#include "util/text_util.h"

// Installed during static initialisation, before any start-up code runs.
static ExceptionHandler g_exceptionHandler;

int main(int argc, char** argv) {
    std::vector<std::wstring> arguments;
    for (int i = 0; i < argc; ++i) arguments.push_back(text::FromUtf8(argv[i]));
    return RunProgram(std::move(arguments));
}
