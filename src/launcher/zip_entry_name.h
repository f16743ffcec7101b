#pragma once
// The stored name of a zip item as text. The format says: UTF-8 when the
// item's flag bit 11 is set, otherwise the code page of the system that made
// it, which the archive does not record.
#include <cstdint>
#include <string>
#include <string_view>

// Decodes `raw` (the name's bytes as stored) given the item's general-purpose
// flags and its "version made by" field. False when the name cannot be read
// faithfully, so the item must not be written at all:
// - flagged UTF-8: must be valid UTF-8;
// - plain ASCII: the same in every code page;
// - made on Unix or macOS: the maker's locale, today UTF-8; taken when valid;
// - made on MS-DOS, OS/2 or Windows: their OEM code page, CP437 by default;
// - any other maker, a NUL byte, or anything else: refused.
bool DecodeZipEntryName(std::string_view raw, uint32_t flags, uint32_t versionMadeBy, std::wstring& name);
