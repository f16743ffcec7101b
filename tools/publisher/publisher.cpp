#include "publisher.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <vector>

#include "archive_writer.h"
#include "build_scan.h"
#include "util/file_util.h"
#include "util/path_util.h"
#include "util/text_util.h"
#include "launcher/list_file_format.h"
#include "launcher/md5_checksum.h"

namespace fs = std::filesystem;

namespace {

struct Planned {
    const BuildFile* file;
    std::string archivePath;
    std::string tempPath;  // set while a new archive waits to replace the old
    PackFileInfo entry;
};

int32_t ListSize(uint64_t size) {
    return size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(size);
}

std::string ArchivePathFor(const std::string& output, const std::wstring& relative) {
    return output + "/" + NativePath(relative) + ".zip";
}

bool IsInside(const fs::path& inner, const fs::path& outer) {
    auto o = outer.begin(), i = inner.begin();
    for (; o != outer.end(); ++o, ++i) {
        if (i == inner.end() || *i != *o) return false;
    }
    return true;
}

std::wstring ChecksumOfBytes(const std::string& bytes) {
    CMD5Checksum md5;
    md5.Update(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    wchar_t text[CMD5Checksum::kTextChars + 1];
    return md5.Final(text);
}

// The build folder's own path may hold a "\", so no list-path conversion.
bool ChecksumOfNativeFile(wchar_t* out, const std::string& path) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    std::vector<char> buffer(1 << 20);
    setvbuf(f, buffer.data(), _IOFBF, buffer.size());
    ChecksumOfStream(out, f);
    const bool ok = !ferror(f);
    const int saved = errno;
    fclose(f);
    errno = saved;
    return ok;
}

// Removes the folders between `path` and `root` that became empty.
void PruneEmptyFolders(fs::path path, const fs::path& root) {
    std::error_code ec;
    for (path = path.parent_path(); path != root && IsInside(path, root); path = path.parent_path()) {
        if (!fs::remove(path, ec)) break;  // not empty (or gone): stop
    }
}

void DiscardTemps(std::vector<Planned>& plan) {
    for (Planned& p : plan) {
        if (!p.tempPath.empty()) unlink(p.tempPath.c_str());
    }
}

}  // namespace

int Publish(const std::string& buildFolder, const std::string& outputFolder, PublishSummary& summary,
            FILE* err) {
    std::error_code ec;
    const fs::path build = fs::weakly_canonical(buildFolder, ec);
    if (ec || !fs::is_directory(build)) {
        fprintf(err, "quon-publish: %s is not a folder\n", buildFolder.c_str());
        return 1;
    }
    const fs::path output = fs::weakly_canonical(outputFolder, ec);
    if (ec || IsInside(output, build) || IsInside(build, output)) {
        fprintf(err,
                "quon-publish: the output folder %s must lie outside the build folder and not contain it\n",
                outputFolder.c_str());
        return 1;
    }

    std::vector<std::string> problems;
    const std::vector<BuildFile> files = ScanBuildFolder(build.string(), problems);
    if (!problems.empty()) {
        for (const std::string& p : problems) fprintf(err, "quon-publish: cannot list %s\n", p.c_str());
        fprintf(err, "quon-publish: %zu name(s) cannot be published; nothing was written\n", problems.size());
        return 1;
    }

    const std::string out = output.string();
    fs::create_directories(output, ec);
    if (ec) {
        fprintf(err, "quon-publish: cannot create %s: %s\n", out.c_str(), ec.message().c_str());
        return 1;
    }
    const std::wstring listPath = text::FromUtf8(out + "/packserv.txt");
    PackFileList previousList;
    ReadListFile(listPath, previousList);  // a first run has none
    std::map<std::wstring, const PackFileInfo*> previous;
    for (const auto& e : previousList) previous[e->szPath] = e.get();

    // Decide and build every new archive under a temporary name first, so a
    // failure leaves the published set as it was.
    std::vector<Planned> plan;
    plan.reserve(files.size());
    for (const BuildFile& f : files) {
        Planned p{&f, ArchivePathFor(out, f.relativePath), {}, {}};
        p.entry.szPath = f.relativePath;
        auto old = previous.find(f.relativePath);
        struct stat archive {};
        if (old != previous.end() && old->second->nFileSize == ListSize(f.size) &&
            stat(p.archivePath.c_str(), &archive) == 0 && S_ISREG(archive.st_mode)) {
            wchar_t sum[260] = {};
            if (!ChecksumOfNativeFile(sum, f.nativePath)) {
                fprintf(err, "quon-publish: cannot read %s: %s\n", f.nativePath.c_str(), strerror(errno));
                DiscardTemps(plan);
                return 1;
            }
            if (old->second->szChecksum == sum) {
                p.entry.nFileSize = ListSize(f.size);
                p.entry.nDownloadSize = ListSize(static_cast<uint64_t>(archive.st_size));
                p.entry.szChecksum = sum;
                ++summary.kept;
                plan.push_back(std::move(p));
                continue;
            }
        }
        fs::create_directories(fs::path(p.archivePath).parent_path(), ec);
        std::string temp = p.archivePath + ".partXXXXXX";
        int fd = ec ? -1 : mkstemp(temp.data());
        if (fd < 0) {
            fprintf(err, "quon-publish: cannot create an archive beside %s: %s\n", p.archivePath.c_str(),
                    ec ? ec.message().c_str() : strerror(errno));
            DiscardTemps(plan);
            return 1;
        }
        fchmod(fd, 0644);
        close(fd);
        p.tempPath = temp;
        plan.push_back(std::move(p));
        Planned& q = plan.back();
        ArchiveResult made = WriteFileArchive(f, q.tempPath);
        struct stat st {};
        if (!made.ok || stat(q.tempPath.c_str(), &st) != 0) {
            fprintf(err, "quon-publish: %s\n", made.ok ? strerror(errno) : made.error.c_str());
            DiscardTemps(plan);
            return 1;
        }
        q.entry.nFileSize = ListSize(made.fileSize);
        q.entry.nDownloadSize = ListSize(static_cast<uint64_t>(st.st_size));
        q.entry.szChecksum = made.checksum;
        ++summary.written;
    }

    for (Planned& p : plan) {
        if (p.tempPath.empty()) continue;
        if (rename(p.tempPath.c_str(), p.archivePath.c_str()) != 0) {
            fprintf(err, "quon-publish: cannot replace %s: %s\n", p.archivePath.c_str(), strerror(errno));
            DiscardTemps(plan);
            return 1;
        }
        p.tempPath.clear();
    }

    PackFileList list;
    for (Planned& p : plan) list.push_back(std::make_unique<PackFileInfo>(p.entry));
    const std::string listBytes = SerializeList(list);
    const std::string guardBytes = "\xFF\xFE" + EncodeListText(ChecksumOfBytes(listBytes) + L"\n");
    if (!WriteFileAtomically(listPath, listBytes) ||
        !WriteFileAtomically(text::FromUtf8(out + "/packserv.md5"), guardBytes)) {
        fprintf(err, "quon-publish: cannot write the list in %s: %s\n", out.c_str(), strerror(errno));
        return 1;
    }
    summary.files = plan.size();

    // Archives of files the build no longer has. The old list is only trusted
    // for paths that stay inside the output folder.
    std::set<std::wstring> current;
    for (const Planned& p : plan) current.insert(p.entry.szPath);
    for (const auto& e : previousList) {
        if (current.count(e->szPath) || !IsSafeRelativePath(e->szPath)) continue;
        const std::string archive = ArchivePathFor(out, e->szPath);
        if (DeleteLocalFile(false, text::FromUtf8(archive))) {
            ++summary.removed;
            PruneEmptyFolders(archive, output);
        }
    }
    return 0;
}
