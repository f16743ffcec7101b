#include "launcher/working_folder.h"

#include "util/path_util.h"
#include "base/file_system.h"

std::wstring ExecutableFolder() {
    std::wstring folder;
    GetModuleFolder(folder, true);
    return folder.empty() ? folder : folder + L"/";
}

bool EnterExecutableFolder() {
    const std::wstring folder = ExecutableFolder();
    return !folder.empty() && fsys::ChangeCurrentFolder(NativePath(folder));
}
