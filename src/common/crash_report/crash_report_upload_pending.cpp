// Until the FTP crash report is built in, the upload mode sends nothing and
// says so, so the crashed process ends by its signal as after a failed login.
#include "common/crash_report/crash_report_upload.h"

bool UploadCrashReport(const std::wstring&) {
    return false;
}
