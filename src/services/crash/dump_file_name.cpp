#include "services/crash/dump_file_name.h"

#include "base/process_facts.h"
#include "util/text_util.h"

std::wstring FormatDumpFileName(const std::wstring& moduleName, const std::tm& t) {
    return text::FormatCut(text::kMaxPathChars, L"%s(%s)_%d-%d-%d-%d-%d-%d.dmp", moduleName.c_str(),
                           L"crashed", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min,
                           t.tm_sec);
}

bool GenerateDumpFilePath(const std::wstring& moduleName, std::wstring& path) {
    const std::time_t now = std::time(nullptr);
    path = FormatDumpFileName(moduleName, fsys::LocalTime(now));
    return true;
}
