#pragma once
// Writes a patch folder the way the patch server publishes one: packserv.txt,
// packserv.md5 and one zip per file, so that tests can shape it (wrong sums,
// broken archives, hostile names) where the publisher would refuse to.
#include <map>
#include <string>
#include <vector>

struct PatchFile {
    std::string content;
    std::string archiveEntry;   // stored name; empty = the path with "/"
    std::string listChecksum;   // checksum in the list; empty = the real one
    bool brokenArchive = false; // the archive is not a zip
    unsigned mode = 0644;
};

// `files` maps list paths ("Data\\a.dat") to what the server has.
void WritePatchSet(const std::string& folder, const std::map<std::wstring, PatchFile>& files);

// The MD5 text of some bytes.
std::string Md5Of(const std::string& bytes);

// A zip holding the given entries (name -> content).
void WriteZip(const std::string& path, const std::map<std::string, std::string>& entries, unsigned mode = 0644);

// The entries of a zip in their order, as the archive records them.
struct ZipEntry {
    std::string name, content;
    unsigned madeByHost = 0, mode = 0;
};
std::vector<ZipEntry> ReadZip(const std::string& path);
