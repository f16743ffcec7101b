#include "launcher/zip_extract.h"

#include <minizip/unzip.h>

#include <cerrno>
#include <vector>

#include "util/file_util.h"
#include "util/path_util.h"
#include "util/text_util.h"
#include "launcher/md5_pipeline.h"
#include "launcher/zip_entry_name.h"
#include "services/zip/zip_file_io.h"
#include "base/file_system.h"
#include "base/process_facts.h"

namespace {
constexpr int kUnixHost = 3;
// The file-type bits of a Unix mode, as zip makers store them.
constexpr unsigned kUnixTypeMask = 0170000;
constexpr unsigned kUnixRegularFile = 0100000;
constexpr size_t kChunk = 256 * 1024;
// Blocks ahead of the digest: enough to ride out a hiccup of either side.
constexpr size_t kDigestDepth = 4;
// From this size on a second thread pays for itself.
constexpr uint64_t kThreadedDigestFrom = 4 * kChunk;
constexpr uint64_t kWriteBackStep = 8u << 20;

bool IsDiskFull(int error) {
    return fsys::IsNoSpaceError(error);
}

// Writes the current item to a temporary beside the target, then renames it
// over the target, so a failed item never leaves a torn file behind. The
// content is made durable before the rename and the folder's entry after it;
// or, with `uncommitted`, the written temporary is handed out for the caller
// to commit.
int WriteItem(unzFile zip, const std::string& target, unsigned mode, uint64_t size, CMd5Pipeline& md5,
              const std::atomic<bool>* stop, std::vector<std::unique_ptr<fsys::TempFile>>* uncommitted,
              std::wstring& digest) {
    if (unzOpenCurrentFile(zip) != UNZ_OK) return kZipOtherFailure;
    auto file = std::make_unique<fsys::TempFile>();
    fsys::TempFile& out = *file;
    if (!out.Create(target)) {
        const int error = errno;
        unzCloseCurrentFile(zip);
        return IsDiskFull(error) ? kZipWriteFailure : kZipOtherFailure;
    }
    int result = kZipOk;
    // Hashed on the way out, so the check after the extraction needs no
    // second read of a large file; on a thread of its own for a large one.
    md5.Begin(size >= kThreadedDigestFrom);
    uint64_t written = 0, writtenBack = 0;
    for (;;) {
        if (stop && stop->load(std::memory_order_relaxed)) {
            result = kZipOtherFailure;
            break;
        }
        char* block = md5.Next();
        const int n = unzReadCurrentFile(zip, block, static_cast<unsigned>(md5.BlockSize()));
        if (n == 0) break;
        if (n < 0) {
            result = kZipOtherFailure;
            break;
        }
        if (!out.Write(block, static_cast<size_t>(n))) {
            result = IsDiskFull(errno) ? kZipWriteFailure : kZipOtherFailure;
            break;
        }
        md5.Hand(static_cast<size_t>(n));
        written += static_cast<uint64_t>(n);
        // The disk works while the rest is inflated: the sync before the
        // rename then waits for the last few MiB only.
        if (written - writtenBack >= kWriteBackStep) {
            out.StartWriteBack(static_cast<int64_t>(writtenBack),
                               static_cast<int64_t>(written - writtenBack));
            writtenBack = written;
        }
    }
    // The CRC is checked when the item is closed.
    if (unzCloseCurrentFile(zip) != UNZ_OK && result == kZipOk) result = kZipOtherFailure;
    if (result == kZipOk && uncommitted) {
        if (out.SetMode(mode)) {
            // The rest goes out now, so the batch's sync finds it on its way.
            out.StartWriteBack(static_cast<int64_t>(writtenBack), 0);
            uncommitted->push_back(std::move(file));
        } else {
            result = kZipOtherFailure;
        }
    } else if (result == kZipOk && !out.Commit(fsys::Durability::kFileAndFolder, mode)) {
        // A folder that cannot be synced fails its item, like its content.
        result = IsDiskFull(errno) ? kZipWriteFailure : kZipOtherFailure;
    }
    if (result == kZipOk)
        digest = md5.Finish();
    else
        md5.Drop();
    return result;  // a temporary neither committed nor handed out goes with `file`
}
}  // namespace

bool ExtractZipArchive(const std::wstring& archive, const std::wstring& folder,
                       const std::function<bool(const ZipItemReport&)>& onItem,
                       const std::atomic<bool>* stop,
                       std::vector<std::unique_ptr<fsys::TempFile>>* uncommitted) {
    unzFile zip = unzOpen2_64(NativePath(archive).c_str(), ZipFileFunctions());
    if (!zip) return false;
    CMd5Pipeline md5(kChunk, kDigestDepth);
    std::wstring base = folder;
    if (!base.empty() && base.back() != L'/' && base.back() != L'\\') base += L'/';

    for (int status = unzGoToFirstFile(zip); status == UNZ_OK; status = unzGoToNextFile(zip)) {
        if (stop && stop->load(std::memory_order_relaxed)) break;
        unz_file_info64 info{};
        std::string rawName;
        std::wstring stored;
        // The name is as long as its header says (up to 64 KiB), read whole:
        // a fixed buffer would cut it, without a terminator.
        bool named = unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) == UNZ_OK;
        if (named) {
            rawName.resize(info.size_filename + 1);
            named = unzGetCurrentFileInfo64(zip, &info, rawName.data(), static_cast<uLong>(rawName.size()),
                                            nullptr, 0, nullptr, 0) == UNZ_OK;
            rawName.resize(info.size_filename);
        }
        if (!named) {
            if (!onItem({L"", kZipOtherFailure})) break;
            continue;
        }
        // A name that cannot be read as its maker meant it is not written
        // under a guess.
        const bool decoded = DecodeZipEntryName(rawName, info.flag, info.version, stored);
        if (!decoded) stored = text::FromUtf8(rawName);  // for the report only
        std::wstring relative = stored;
        ReplaceChar(relative, L'/', L'\\');
        const bool isFolder = !relative.empty() && relative.back() == L'/';
        if (isFolder) relative.pop_back();

        int result = kZipOk;
        std::string written;
        std::wstring digest;
        if (!decoded) {
            result = kZipOtherFailure;
        } else if (!StaysInsideFolder(base, relative)) {
            result = kZipOtherFailure;  // would land outside the folder
        } else if (isFolder) {
            result = CreateFoldersAlongPath(base + relative + L"/") ? kZipOk : kZipOtherFailure;
        } else if (!CreateFoldersAlongPath(base + relative)) {
            result = kZipOtherFailure;
        } else {
            unsigned mode = 0644;
            const unsigned perms = (info.external_fa >> 16) & 07777;
            if ((info.version >> 8) == kUnixHost &&
                ((info.external_fa >> 16) & kUnixTypeMask) == kUnixRegularFile && perms != 0) {
                mode = (perms & 0777) | 0600;  // the launcher must be able to replace it later
            }
            written = NativePath(base + relative);
            result = WriteItem(zip, written, mode, info.uncompressed_size, md5, stop, uncommitted, digest);
            if (result != kZipOk) written.clear();
        }
        if (!onItem({stored, result, std::move(written), std::move(digest)})) break;
    }
    unzClose(zip);
    return true;
}
