// The window module's side of the contract in window_module_abi.h: its build
// id, in a section of its own, and the entry table the executable asks for.
#include <string_view>

#include "ui/gtk/gtk_launcher.h"
#include "ui/window_build_id.h"
#include "ui/window_module_abi.h"

namespace {

static_assert(std::string_view(kWindowModuleIdSection) == ".quon_build_id");

// Kept by the linker although nothing refers to it: the executable reads it
// from the file.
[[gnu::used, gnu::section(".quon_build_id")]] const char kSectionId[] = QUON_BUILD_ID;

int Run(std::vector<std::wstring>& arguments) {
    return RunGtkLauncher(std::move(arguments));
}

const WindowModuleEntry kEntry{QUON_BUILD_ID, &InitGtkFrontEnd, &Run};

}  // namespace

extern "C" [[gnu::visibility("default")]] const WindowModuleEntry* QuonWindowModuleEntry() {
    return &kEntry;
}
