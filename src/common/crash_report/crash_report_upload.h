#pragma once
#include <string>

// The upload mode's steps after the dump was written and the player said Yes:
// login, PCInfo.xml, the zip, the remote path, upload, clean-up. True when the
// archive arrived.
bool UploadCrashReport(const std::wstring& dumpPath);
