#include <cstdlib>

#include "launcher/launcher_config.h"
#include "launcher/run_leftovers.h"
#include "launcher/working_folder.h"
#include "os/rate_cap.h"
#include "services/crash/exception_handler.h"
#include "ui/frontend.h"

int RunProgram(std::vector<std::wstring> arguments) {
    // The crash helper works in the crashed launcher's folder, as inherited.
    int status = 0;
    if (ExceptionHandler::RunHelperIfRequested(status)) return status;
    // From the first line on, every relative file the launcher touches
    // (Config/, log.txt, dumps) lies in its install folder, whichever folder
    // it was started from. Should that fail, the folder stays as it was.
    EnterExecutableFolder();
    // The one place that reads the launcher's settings; everything below is
    // handed them.
    const LauncherConfig config = ReadLauncherConfig(std::getenv);
    SetMaxReceiveRate(config.maxReceiveRate);
    status = RunLauncher(std::move(arguments), config);
    RemoveTempLeftoversWhenAlone(ExecutableFolder());
    return status;
}
