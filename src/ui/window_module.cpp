#include "ui/window_module.h"

#include <memory>

#include "platform/file_system.h"
#include "platform/loadable_module.h"
#include "ui/window_build_id.h"

namespace {
// The loaded module, kept for the rest of the process.
std::unique_ptr<LoadableModule> g_windowModule;
}  // namespace

const char* WindowModuleFileName() {
    return QUON_WINDOW_MODULE_NAME;
}

const WindowModuleEntry* LoadWindowModule(const std::string& folder, std::string& why) {
    if (folder.empty()) {
        why = "the launcher cannot tell its own folder, where its window module lies";
        return nullptr;
    }
    const std::string path = folder + WindowModuleFileName();
    const std::string own = QUON_BUILD_ID;
    if (fsys::KindOfTarget(path) == fsys::Kind::kMissing) {
        why = "the window module " + path + " is missing";
        return nullptr;
    }
    // Checked before loading: a module of another build calls into an engine
    // laid out differently, and loading alone already runs its constructors.
    std::string id, error;
    if (!ReadModuleSection(path, kWindowModuleIdSection, id, error)) {
        why = "the window module " + path + " is refused: " + error;
        return nullptr;
    }
    if (id.find('\0') != std::string::npos) id.resize(id.find('\0'));
    if (id != own) {
        why = "the window module " + path + " is from another build (build id " + id + ", this launcher " +
              own + ")";
        return nullptr;
    }
    auto module = LoadableModule::Open(path, error);
    if (!module) {
        why = "the window module " + path + " cannot be loaded: " + error;
        return nullptr;
    }
    const auto entryFunction =
        reinterpret_cast<WindowModuleEntryFunction>(module->Symbol(kWindowModuleEntrySymbol));
    const WindowModuleEntry* entry = entryFunction ? entryFunction() : nullptr;
    // The file may have been replaced between the check and the load.
    if (!entry || !entry->buildId || own != entry->buildId || !entry->initDisplay || !entry->run) {
        why = "the window module " + path + " does not offer the window of this build";
        return nullptr;
    }
    g_windowModule = std::move(module);
    return entry;
}
