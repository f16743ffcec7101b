#include "support/test_platform.h"

#include <fstream>

#include "util/path_util.h"

void ScriptedDownloader::DeleteUrlCacheEntry(const std::wstring&) { ++m_cacheDeletes; }

HRESULT ScriptedDownloader::DownloadToFile(const std::wstring&, const std::wstring& localPath,
                                           IBindStatusCallback* callback) {
    ++m_calls;
    if (m_duringDownload) {
        HRESULT hr = m_duringDownload(callback);
        if (hr != S_OK) return hr;
    }
    HRESULT result = m_default;
    {
        std::lock_guard lock(m_lock);
        if (!m_results.empty()) {
            result = m_results.front();
            m_results.pop_front();
        }
    }
    if (result == S_OK) {
        std::ofstream out(NativePath(localPath), std::ios::binary | std::ios::trunc);
        out << m_body;
    }
    return result;
}
