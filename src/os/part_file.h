#pragma once
// The temporary file a download streams into: a TempFile beside the target,
// renamed over it only once the transfer is complete, removed otherwise. A
// crash or a failed transfer so never leaves a torn file under the target's
// name, and the next start removes what a killed run left.
#include <cstddef>
#include <string>

#include "base/file_system.h"
#include "base/win_types.h"

class PartFile {
public:
    PartFile() = default;
    ~PartFile() { Discard(); }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    // Creates the temporary ("<target>.qtmp-XXXXXX") in the target's folder.
    HRESULT Create(const std::string& target);
    HRESULT Write(const char* data, size_t size);
    // Gives the file the usual creation mode, closes it and renames it over
    // the target. On failure the temporary is removed and the target kept.
    // Not synced: downloads are scratch files in Temp that a power cut only
    // makes fetch again (what they unpack to is synced when it is written).
    HRESULT Commit();
    // Closes and removes the temporary, if any.
    void Discard();

    const std::string& TempPath() const { return m_file.TempPath(); }
    bool IsOpen() const { return m_file.IsOpen(); }

private:
    fsys::TempFile m_file;
};

// errno of a local file operation -> result code: a full disk or quota is
// E_OUTOFMEMORY (what the launcher reports as lack of disk space), missing
// rights E_ACCESSDENIED, anything else E_FAIL.
HRESULT MapLocalFileError(int error);
// A full disk or quota.
bool IsDiskFullError(int error);
