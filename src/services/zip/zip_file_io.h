#pragma once
// minizip's file access through the file service, so that archives are
// opened by their UTF-8 path on every system (on Windows through the wide
// calls: minizip's own fopen would read the name in the ANSI code page) and
// past 4 GiB. Pass the path as UTF-8 text to unzOpen2_64 / zipOpen2_64.
#include <minizip/ioapi.h>

// The callbacks; one table serves every archive.
zlib_filefunc64_def* ZipFileFunctions();
