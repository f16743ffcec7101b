#include "services/zip/zip_file_io.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/file_system.h"

namespace {

// An open archive with its own position (minizip seeks and then reads or
// writes) and a read-ahead window: minizip reads headers a few bytes at a
// time, which would otherwise be a system call each.
struct ZipStream {
    fsys::File file;
    uint64_t position = 0;
    std::vector<char> window;
    uint64_t windowStart = 0;
    bool failed = false;
};

constexpr size_t kWindow = 64 * 1024;

voidpf ZCALLBACK Open(voidpf, const void* filename, int mode) {
    if (!filename) return nullptr;
    fsys::File::Mode how = fsys::File::Mode::kRead;
    if (mode & ZLIB_FILEFUNC_MODE_CREATE)
        how = fsys::File::Mode::kCreateTruncate;
    else if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ)
        how = fsys::File::Mode::kReadWrite;
    auto* stream = new ZipStream;
    if (!stream->file.Open(static_cast<const char*>(filename), how)) {
        delete stream;
        return nullptr;
    }
    return stream;
}

uLong ZCALLBACK Read(voidpf, voidpf s, void* buf, uLong size) {
    auto* stream = static_cast<ZipStream*>(s);
    char* out = static_cast<char*>(buf);
    uLong done = 0;
    while (done < size) {
        const uint64_t at = stream->position;
        if (at >= stream->windowStart && at < stream->windowStart + stream->window.size()) {
            const size_t offset = static_cast<size_t>(at - stream->windowStart);
            const size_t n = std::min<size_t>(size - done, stream->window.size() - offset);
            std::memcpy(out + done, stream->window.data() + offset, n);
            done += static_cast<uLong>(n);
            stream->position += n;
            continue;
        }
        // Large reads (the compressed data) go straight to the caller.
        const bool direct = size - done >= kWindow;
        if (!direct) stream->window.resize(kWindow);
        char* target = direct ? out + done : stream->window.data();
        const int64_t got =
            stream->file.ReadAt(target, direct ? size - done : kWindow, static_cast<int64_t>(at));
        if (got < 0) stream->failed = true;
        if (got <= 0) {
            stream->window.clear();
            break;
        }
        if (direct) {
            done += static_cast<uLong>(got);
            stream->position += static_cast<uint64_t>(got);
        } else {
            stream->window.resize(static_cast<size_t>(got));
            stream->windowStart = at;
        }
    }
    return done;
}

uLong ZCALLBACK Write(voidpf, voidpf s, const void* buf, uLong size) {
    auto* stream = static_cast<ZipStream*>(s);
    stream->window.clear();
    if (!stream->file.WriteAt(buf, size, static_cast<int64_t>(stream->position))) {
        stream->failed = true;
        return 0;
    }
    stream->position += size;
    return size;
}

ZPOS64_T ZCALLBACK Tell(voidpf, voidpf s) {
    return static_cast<ZipStream*>(s)->position;
}

long ZCALLBACK Seek(voidpf, voidpf s, ZPOS64_T offset, int origin) {
    auto* stream = static_cast<ZipStream*>(s);
    switch (origin) {
        case ZLIB_FILEFUNC_SEEK_SET:
            stream->position = offset;
            return 0;
        case ZLIB_FILEFUNC_SEEK_CUR:
            stream->position += offset;
            return 0;
        case ZLIB_FILEFUNC_SEEK_END: {
            const int64_t size = stream->file.Size();
            if (size < 0) return -1;
            stream->position = static_cast<uint64_t>(size) + offset;
            return 0;
        }
        default:
            return -1;
    }
}

int ZCALLBACK Close(voidpf, voidpf s) {
    auto* stream = static_cast<ZipStream*>(s);
    const bool ok = stream->file.Close() && !stream->failed;
    delete stream;
    return ok ? 0 : -1;
}

int ZCALLBACK Error(voidpf, voidpf s) {
    return static_cast<ZipStream*>(s)->failed ? 1 : 0;
}

}  // namespace

zlib_filefunc64_def* ZipFileFunctions() {
    static zlib_filefunc64_def functions = {Open, Read, Write, Tell, Seek, Close, Error, nullptr};
    return &functions;
}
