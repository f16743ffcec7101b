// The window module's side of the contract in window_module_abi.h: the entry
// table the executable asks for.

#include "ui/gtk/gtk_launcher.h"
#include "ui/window_build_id.h"
#include "ui/window_module_abi.h"

namespace {

int Run(std::vector<std::wstring>& arguments, const LauncherConfig& config) {
    return RunGtkLauncher(std::move(arguments), config);
}

const WindowModuleEntry kEntry{QUON_BUILD_ID, &InitGtkFrontEnd, &Run};

}  // namespace

extern "C" [[gnu::visibility("default")]] const WindowModuleEntry* QuonWindowModuleEntry() {
    return &kEntry;
}
