#include "services/crash_report/crash_report_upload.h"

#include <cstdlib>
#include <ctime>

#include "base/process_facts.h"
#include "services/crash_report/report_zip.h"
#include "util/custom_assert.h"
#include "util/lexical_cast_wrapper.h"
#include "util/file_util.h"
#include "services/ftp/ftp_transfer.h"
#include "util/path_util.h"
#include "services/system/system_info.h"
#include "util/text_util.h"

#ifndef QUON_CRASH_FTP_HOST
#define QUON_CRASH_FTP_HOST "crash-ftp.quon-game.example"
#endif

namespace {
constexpr const wchar_t* kHandlerName = L"ExceptionHandler::WriteMinidumpWithException";
constexpr int kDefaultPort = 21;

// "/" + year month day run together (no padding) + "/" + report folder + "/" + archive.
std::wstring RemoteArchivePath(const std::wstring& archiveName) {
    const time_t now = time(nullptr);
    const std::tm local = fsys::LocalTime(now);
    std::wstring year, month, day;
    boost_lexical_cast(kHandlerName, local.tm_year + 1900, year);
    boost_lexical_cast(kHandlerName, local.tm_mon + 1, month);
    boost_lexical_cast(kHandlerName, local.tm_mday, day);
    return L"/" + year + month + day + L"/" + CrashReportFolder() + L"/" + archiveName;
}
}  // namespace

const std::wstring& CrashReportFolder() {
    static const std::wstring folder;
    return folder;
}

void GetCrashReportServer(std::wstring& host, int& port) {
    const char* value = std::getenv("QUON_CRASH_FTP_HOST");
    std::string text = value && *value ? value : QUON_CRASH_FTP_HOST;
    port = kDefaultPort;
    const size_t colon = text.rfind(':');
    if (colon != std::string::npos && text.find(':') == colon) {
        const int given = atoi(text.c_str() + colon + 1);
        if (given > 0 && given < 65536) port = given;
        text.resize(colon);
    }
    host = text::FromUtf8(text);
}

CrashUploadResult RunCrashReportUpload(const std::wstring& dumpPath) {
    std::wstring host;
    int port = 0;
    GetCrashReportServer(host, port);
    FtpTransfer kFTPTransfer;
    if (!kFTPTransfer.Login(host, L"anonymous", L"", port, true)) return CrashUploadResult::LoginFailed;

    SYSTEM::SystemInfo systemInfo;
    systemInfo.SaveFile(L"PCInfo.xml");

    // Every entry is read from where it was written: the dump from its path,
    // PCInfo.xml and log.txt from the current folder.
    const std::wstring dumpName = GetLastPathComponent(dumpPath);
    const std::wstring archiveName = systemInfo.GetMacAddress() + L"_" + dumpName + L".zip";
    {
        ReportZip zip;
        zip.Create(archiveName);
        const int added = zip.ZipAdd(dumpName, dumpPath);
        RT_ASSERT(added != 0, false, kHandlerName, L"ZipAdd is Error::%d", added);
        zip.ZipAdd(L"PCInfo.xml", L"PCInfo.xml");
        zip.ZipAdd(L"log.txt", L"log.txt");
        AddFolderToZip(zip, L"GameGuard", L"*.erl");
        AddFolderToZip(zip, L"log", L"*.*");
        zip.Close();
    }

    const bool uploaded = kFTPTransfer.UploadFile(L"./" + archiveName, RemoteArchivePath(archiveName), false);
    RT_ASSERT(!uploaded, false, kHandlerName, L"false == kFTPTransfer.UploadFile");

    DeleteLocalFile(true, archiveName);
    DeleteLocalFile(true, L"PCInfo.xml");
    DeleteFilesInFolder(L"GameGuard", L"*.erl");
    return uploaded ? CrashUploadResult::Uploaded : CrashUploadResult::UploadFailed;
}

bool UploadCrashReport(const std::wstring& dumpPath) {
    return RunCrashReportUpload(dumpPath) == CrashUploadResult::Uploaded;
}
