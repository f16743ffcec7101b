#pragma once
// The temporary file a download streams into: created beside the target with
// a unique name, renamed over the target only once the transfer is complete,
// removed otherwise. A crash or a failed transfer so never leaves a torn file
// under the target's name.
#include <cstddef>
#include <string>

#include "platform/win_types.h"

class PartFile {
public:
    PartFile() = default;
    ~PartFile() { Discard(); }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    // Creates "<target>.XXXXXX.part" in the target's folder.
    HRESULT Create(const std::string& target);
    HRESULT Write(const char* data, size_t size);
    // Gives the file the usual creation mode, closes it and renames it over
    // the target. On failure the temporary is removed and the target kept.
    HRESULT Commit();
    // Closes and removes the temporary, if any.
    void Discard();

    const std::string& TempPath() const { return m_tempPath; }
    bool IsOpen() const { return m_fd >= 0; }

private:
    int m_fd = -1;
    std::string m_tempPath;
    std::string m_target;
};

// errno of a local file operation -> result code: a full disk or quota is
// E_OUTOFMEMORY (what the launcher reports as lack of disk space), missing
// rights E_ACCESSDENIED, anything else E_FAIL.
HRESULT MapLocalFileError(int error);
