#pragma once
// A shared object loaded at run time: the front-end's window lives in one, so
// that only a launcher that shows a window pays for the window toolkit's
// libraries. The launcher is deployed (and replaced by its updater) as a
// single file, so the module travels inside it and is loaded from memory.
#include <cstddef>
#include <memory>
#include <string>

class LoadableModule {
public:
    virtual ~LoadableModule() = default;
    // The address of an exported symbol; nullptr when there is none.
    virtual void* Symbol(const char* name) = 0;

    // Loads the module whose file image is `bytes` without writing it to any
    // disk: the image goes into an anonymous, sealed in-memory file, which is
    // what the system's loader then maps (`name` is what it is called there,
    // in the process's memory map and in crash dumps). Every symbol is bound
    // at once, so that a module that does not fit fails here rather than
    // later. nullptr with the system's reason in `error` on failure. The
    // module stays loaded until the process ends.
    static std::unique_ptr<LoadableModule> OpenImage(const char* name, const unsigned char* bytes,
                                                     size_t size, std::string& error);
};
