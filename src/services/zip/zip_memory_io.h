#pragma once
// minizip reading an archive that is already in memory: a small archive
// fetched ahead is unpacked from its buffer, never written to disk and
// deleted again.
#include <minizip/ioapi.h>

#include <string_view>

// Fills `funcs` so that unzOpen2_64(&bytes, funcs) reads `bytes`, which must
// outlive the open archive.
void FillMemoryZipFuncs(zlib_filefunc64_def* funcs);
