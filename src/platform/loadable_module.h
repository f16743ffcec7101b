#pragma once
// A shared object loaded at run time by its full path: the front-end's window
// lives in one, so that only a launcher that shows a window pays for the
// window toolkit's libraries.
#include <memory>
#include <string>

class LoadableModule {
public:
    virtual ~LoadableModule() = default;
    // The address of an exported symbol; nullptr when there is none.
    virtual void* Symbol(const char* name) = 0;

    // Loads the module at `path` (never searched for: a bare name is refused)
    // with every symbol bound at once, so that a module that does not fit
    // fails here rather than later. nullptr with the system's reason in
    // `error` on failure. The module stays loaded until the process ends.
    static std::unique_ptr<LoadableModule> Open(const std::string& path, std::string& error);
};

// The bytes of the section `section` of the module file at `path`, read
// without loading it. False with the reason in `error` when the file cannot
// be read, is no module of this machine's kind, or has no such section.
bool ReadModuleSection(const std::string& path, const std::string& section, std::string& contents,
                       std::string& error);
