#pragma once
// The text formats of the file lists (packclit.lit, packserv.txt) and of the
// list's MD5 guard (packserv.md5), as pure functions on bytes plus thin file
// wrappers.
//
// On disk: UTF-16LE with the byte-order mark FF FE and CR LF line ends, one
// entry per line as "%10ld|%10ld|%-32s|%s" (file size, download size,
// checksum, relative path). Readers also accept a UTF-8 mark (EF BB BF); no
// mark means UTF-16LE.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "launcher/pack_file_info.h"

// The field table of one line: 10 slots, each as large as the longest piece
// of a line (259 characters), so a field is never cut by its slot and never
// runs into the next one; a longer text given to SplitFields is cut.
struct ListFieldTable {
    static constexpr int kSlots = 10;
    static constexpr size_t kSlotChars = 259;

    wchar_t slots[kSlots][kSlotChars];
    size_t lengths[kSlots];

    std::wstring_view Field(int i) const { return std::wstring_view(slots[i], lengths[i]); }
};

// Splits `line` at `separator` (outside "[...]", "\"...\"" and "`...`"
// groups) into `table`, which is cleared first. Leading blanks are skipped,
// tabs and backspaces dropped, back-quotes dropped. Returns the number of
// fields (at most 10: fields after the tenth are dropped); an empty last field
// is not counted, and a line of nothing but skipped characters gives 0.
int SplitFields(std::wstring_view line, wchar_t separator, ListFieldTable& table);

// Decimal value as the list reader takes it: leading white space, optional
// sign, digits up to the first other character; no digits give 0; values
// beyond 32 bits saturate.
int32_t ParseListNumber(std::wstring_view text);

// One line of a list (CR and LF anywhere are removed first). False when the
// line yields no entry: empty, only blanks/tabs/backspaces, or no field.
bool ParseListLine(std::wstring_view line, PackFileInfo& entry);

// The bytes of a list file as text: byte-order mark rules, CR LF read as LF.
std::wstring DecodeListText(std::string_view bytes);

// Bounds no real list comes near, so that a broken or hostile list is
// refused instead of exhausting memory. A large client has some 10^4 files
// and a line holds at most 259 characters (522 bytes): 10^5 files of the
// longest paths would take 52 MB. The entry bound keeps a list of tiny lines
// (4 bytes each, 16 million in 64 MiB) from costing gigabytes of entries.
inline constexpr size_t kMaxListBytes = size_t{64} << 20;
inline constexpr size_t kMaxListEntries = 250000;

// Appends the entries of a list file's bytes to `list`. Lines are taken in
// pieces of at most 259 characters (the line end counted), each piece a line;
// a piece ends at its first NUL. With `laterPathReplaces`, an entry replaces
// every earlier one of the same szPath read in this call: the result holds
// the last occurrence of each path, in the order of those last occurrences.
// That is how a list extended with AppendListEntry is read back.
// False, with the list unchanged, when the bytes hold more than
// kMaxListEntries entries.
bool ParseListText(std::string_view bytes, PackFileList& list, bool laterPathReplaces = false);

// ParseListText for bytes that arrive in parts (a file read a block at a
// time): whole lines are parsed as they come, so neither the file's bytes nor
// its decoded text are ever held whole. Same entries as ParseListText over
// the bytes at once.
class ListTextParser {
public:
    explicit ListTextParser(bool laterPathReplaces = false) : m_laterPathReplaces(laterPathReplaces) {}
    // The next bytes of the file. False once there are more than
    // kMaxListEntries entries; nothing more is parsed then.
    bool Feed(std::string_view bytes);
    // Parses what is left and appends the entries to `list`. False, with the
    // list unchanged, when there were too many.
    bool Finish(PackFileList& list);

private:
    void ParseUtf16(std::string_view bytes, bool fromFileStart);
    void ParsePieces(std::wstring_view text);

    bool m_laterPathReplaces;
    bool m_started = false;  // the file's first bytes (and its mark) are parsed
    bool m_utf8 = false;
    bool m_tooMany = false;
    std::string m_pending;  // bytes after the last whole line
    PackFileList m_entries;
};

// Reads the file at `path` ("\" separators allowed) and appends its entries
// to `list`. False when it cannot be opened or read, errno telling why, or
// when it is larger than a real list (kMaxListBytes, kMaxListEntries; errno
// EFBIG); the list is then unchanged.
bool ReadListFile(const std::wstring& path, PackFileList& list, bool laterPathReplaces = false);

// One line as "%10ld|%10ld|%-32s|%s\n" prints it with a 32-bit long.
std::wstring FormatListLine(const PackFileInfo& entry);

// Text to file bytes: UTF-16LE, every LF written as CR LF (text mode).
std::string EncodeListText(std::wstring_view text);

// A whole list file: the mark FF FE, then one line per entry, CR LF.
std::string SerializeList(const PackFileList& list);
// The same bytes handed to `write` in pieces of about `pieceBytes`; false as
// soon as `write` returns false.
bool WriteListPieces(const PackFileList& list, size_t pieceBytes,
                     const std::function<bool(std::string_view)>& write);

// Writes the bytes of SerializeList, a piece at a time, through a temporary
// file and a rename, so a crash leaves the old or the new list. False with
// errno on failure.
bool WriteListFile(const std::wstring& path, const PackFileList& list);

// Appends one entry line (CR LF, UTF-16LE) to the list file at `path`,
// creating it with its mark when it is missing or empty. A file left without
// a final line end (a torn earlier append) gets one first, so the new line
// stands alone. On failure the file is restored to its old length and errno
// tells why.
bool AppendListEntry(const std::wstring& path, const PackFileInfo& entry);
// The same for several entries, in order, with one write; with `sync` the
// lines are durable when it returns true.
bool AppendListEntries(const std::wstring& path, const std::vector<const PackFileInfo*>& entries, bool sync);

// True when the entry's line reads back as exactly this entry: no line
// breaks, no field cut or altered by the reading rules.
bool IsListableEntry(const PackFileInfo& entry);

// Bytes of the guard file looked at: more than 255 characters in any encoding.
inline constexpr size_t kGuardReadBytes = 4096;

// The guard's first line (at most 255 characters, same text mode), with
// every CR, LF and blank removed.
std::wstring ParseGuardText(std::string_view bytes);
// Reads the guard file; false with errno when it cannot be opened.
bool ReadGuardFile(const std::wstring& path, std::wstring& text);
