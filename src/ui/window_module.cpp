#include "ui/window_module.h"

#include <memory>

#include "os/loadable_module.h"
#include "ui/window_build_id.h"

// The module's file image, put into the executable by window_module_image.c.
// Only read when a window is wanted: a console launcher never has it resident.
extern "C" const unsigned char quon_window_module_begin[];
extern "C" const unsigned char quon_window_module_end[];

namespace {
// The loaded module, kept for the rest of the process.
std::unique_ptr<LoadableModule> g_windowModule;
}  // namespace

const char* WindowModuleFileName() {
    return QUON_WINDOW_MODULE_NAME;
}

const WindowModuleEntry* LoadWindowModule(std::string& why) {
    const auto size = static_cast<size_t>(quon_window_module_end - quon_window_module_begin);
    std::string error;
    auto module = LoadableModule::OpenImage(WindowModuleFileName(), quon_window_module_begin, size, error);
    if (!module) {
        why = std::string("the window module ") + WindowModuleFileName() + " cannot be loaded: " + error;
        return nullptr;
    }
    const auto entryFunction =
        reinterpret_cast<WindowModuleEntryFunction>(module->Symbol(kWindowModuleEntrySymbol));
    const WindowModuleEntry* entry = entryFunction ? entryFunction() : nullptr;
    // The image comes from the same build; the id guards against a build that
    // embedded a stale module, whose calls into the engine would go astray.
    const std::string own = QUON_BUILD_ID;
    if (!entry || !entry->buildId || own != entry->buildId || !entry->initDisplay || !entry->run) {
        why = std::string("the window module ") + WindowModuleFileName() +
              " does not offer the window of this build";
        return nullptr;
    }
    g_windowModule = std::move(module);
    return entry;
}
