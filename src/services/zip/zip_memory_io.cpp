#include "services/zip/zip_memory_io.h"

#include <cstring>
#include <new>

namespace {
struct Stream {
    std::string_view bytes;
    ZPOS64_T pos = 0;
};

voidpf ZCALLBACK Open(voidpf, const void* source, int mode) {
    // Read only: minizip's reader never asks for more.
    if (!source || (mode & ZLIB_FILEFUNC_MODE_WRITE)) return nullptr;
    return new (std::nothrow) Stream{*static_cast<const std::string_view*>(source)};
}

uLong ZCALLBACK Read(voidpf, voidpf stream, void* buffer, uLong size) {
    auto* s = static_cast<Stream*>(stream);
    const ZPOS64_T left = s->pos < s->bytes.size() ? s->bytes.size() - s->pos : 0;
    const uLong n = static_cast<uLong>(left < size ? left : size);
    std::memcpy(buffer, s->bytes.data() + s->pos, n);
    s->pos += n;
    return n;
}

uLong ZCALLBACK Write(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK Tell(voidpf, voidpf stream) { return static_cast<Stream*>(stream)->pos; }

long ZCALLBACK Seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto* s = static_cast<Stream*>(stream);
    ZPOS64_T base = 0;
    switch (origin) {
        case ZLIB_FILEFUNC_SEEK_SET: base = 0; break;
        case ZLIB_FILEFUNC_SEEK_CUR: base = s->pos; break;
        case ZLIB_FILEFUNC_SEEK_END: base = s->bytes.size(); break;
        default: return -1;
    }
    // minizip passes negative moves from the end as wrapped unsigned values.
    const ZPOS64_T target = base + offset;
    if (target > s->bytes.size()) return -1;
    s->pos = target;
    return 0;
}

int ZCALLBACK Close(voidpf, voidpf stream) {
    delete static_cast<Stream*>(stream);
    return 0;
}

int ZCALLBACK Error(voidpf, voidpf) { return 0; }
}  // namespace

void FillMemoryZipFuncs(zlib_filefunc64_def* funcs) {
    funcs->zopen64_file = Open;
    funcs->zread_file = Read;
    funcs->zwrite_file = Write;
    funcs->ztell64_file = Tell;
    funcs->zseek64_file = Seek;
    funcs->zclose_file = Close;
    funcs->zerror_file = Error;
    funcs->opaque = nullptr;
}
