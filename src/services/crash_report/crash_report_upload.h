#pragma once
// The crash handler's upload mode, after the dump was written and the player
// said Yes: log in to the crash-report FTP server, write PCInfo.xml, pack the
// dump with it, log.txt, GameGuard/*.erl and the log folder into
// "<mac>_<dump name>.zip", upload that to "/YYYYMD/<report folder>/<archive>",
// and remove the archive, PCInfo.xml and GameGuard/*.erl again (the dump and
// the log folder stay).
#include <string>

enum class CrashUploadResult {
    LoginFailed,   // nothing was packed or sent; the handler's step fails
    UploadFailed,  // packed and cleaned up, but the archive did not arrive
    Uploaded,
};

// `dumpPath`: the dump as written (a bare name is in the current folder).
CrashUploadResult RunCrashReportUpload(const std::wstring& dumpPath);

// True when the archive arrived.
bool UploadCrashReport(const std::wstring& dumpPath);

// The crash-report server: QUON_CRASH_FTP_HOST from the environment, else the
// build's; "host[:port]", port 21 when none is given.
void GetCrashReportServer(std::wstring& host, int& port);

// Folder level between the date and the archive name; empty, so the remote
// path holds "//" there.
const std::wstring& CrashReportFolder();
