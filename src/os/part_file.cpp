#include "os/part_file.h"

#include <cerrno>

HRESULT MapLocalFileError(int error) {
    if (IsDiskFullError(error)) return E_OUTOFMEMORY;
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
            return E_ACCESSDENIED;
        default:
            return E_FAIL;
    }
}

bool IsDiskFullError(int error) {
#ifdef EDQUOT
    // Windows' C library has no quota number: its file service reports a
    // full quota as ENOSPC.
    if (error == EDQUOT) return true;
#endif
    return error == ENOSPC;
}

HRESULT PartFile::Create(const std::string& target) {
    return m_file.Create(target) ? S_OK : MapLocalFileError(errno);
}

HRESULT PartFile::Write(const char* data, size_t size) {
    if (!m_file.IsOpen()) return E_FAIL;
    return m_file.Write(data, size) ? S_OK : MapLocalFileError(errno);
}

HRESULT PartFile::Commit() {
    if (!m_file.IsOpen()) return E_FAIL;
    return m_file.Commit(fsys::Durability::kNone) ? S_OK : MapLocalFileError(errno);
}

void PartFile::Discard() {
    m_file.Discard();
}
