#include "common/crash/exception_handler.h"
#include "ui/frontend.h"

// Installed during static initialisation, before any start-up code runs.
static ExceptionHandler g_exceptionHandler;

int main(int argc, char** argv) {
    int status = 0;
    if (ExceptionHandler::RunHelperIfRequested(status)) return status;
    return RunLauncher(argc, argv);
}
