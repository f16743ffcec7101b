// Stands in for the FTP report in the crash tests: records which dump the
// upload mode hands over, so the test sees the order of the steps.
#include <fstream>

#include "services/crash_report/crash_report_upload.h"
#include "util/text_util.h"

bool UploadCrashReport(const std::wstring& dumpPath) {
    std::ofstream("upload-called.txt") << text::ToUtf8(dumpPath);
    return true;
}
