#pragma once
// The crash report archive: a zip written with minizip, entries added from
// files under names of our choosing.
#include <string>

class ReportZip {
public:
    ReportZip() = default;
    ~ReportZip() { Close(); }
    ReportZip(const ReportZip&) = delete;
    ReportZip& operator=(const ReportZip&) = delete;

    // Creates (or replaces) the archive; false when it cannot be created.
    bool Create(const std::wstring& path);
    // Adds the file `source` as `entryName`. 0 on success, otherwise a
    // minizip error code (ZIP_ERRNO when the source cannot be read).
    int ZipAdd(const std::wstring& entryName, const std::wstring& source);
    // True when the archive's central directory was written.
    bool Close();

private:
    void* m_zip = nullptr;
};

// Adds every file of `folder` and its sub-folders whose name matches
// `pattern` ("*.*" = all) under its bare name; folders are entered when their
// own name matches. Nothing for an empty folder name; add results ignored.
void AddFolderToZip(ReportZip& zip, const std::wstring& folder, const std::wstring& pattern);
