// Runs the real quon-publish on build folders made here and reads its output
// back with the launcher's own list reader and minizip.
#include "support/test_common.h"

#include "launcher/list_file_format.h"

namespace {

// quon-publish from `build` to `output` below `dir`: its exit status; what it printed in `printed`.
int Publish(const TempDir& dir, const std::string& build, const std::string& output,
            std::string* printed = nullptr) {
    ChildProcess run({std::string(QUON_BIN_DIR) + "/quon-publish", dir.Join(build), dir.Join(output)}, dir.path());
    const int code = run.Wait();
    if (printed) *printed = run.Output();
    return code;
}

std::wstring FileMd5(const std::string& path) {
    return text::FromUtf8(Md5Of(ReadWholeFile(path)));
}

ino_t Inode(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

void MakeSampleBuild(const TempDir& dir) {
    dir.WriteFile("build/Vevida2.0.exe", "#!/bin/sh\necho client\n");
    chmod(dir.Join("build/Vevida2.0.exe").c_str(), 0755);
    dir.WriteFile("build/Data/Map/a.dat", std::string(100000, 'a'));
    dir.WriteFile("build/Data/b.dat", "bbb");
    dir.WriteFile("build/Data/\xED\x95\x9C.dat", "korean name");
    dir.WriteFile("build/empty.pak", "");
    chmod(dir.Join("build/Data/b.dat").c_str(), 0600);
}

TEST(Publisher, PublishesListGuardAndOneArchivePerFileAndARepublishRewritesOnlyChangedOrMissingArchives) {
    TempDir dir;
    MakeSampleBuild(dir);
    std::string err;
    ASSERT_EQ(Publish(dir, "build", "out", &err), 0) << err;

    PackFileList list;
    ASSERT_TRUE(ReadListFile(dir.wpath() + L"/out/packserv.txt", list));
    std::vector<std::wstring> paths;
    for (const auto& e : list) paths.push_back(e->szPath);
    EXPECT_EQ(paths, (std::vector<std::wstring>{L"Data\\Map\\a.dat", L"Data\\b.dat", L"Data\\\uD55C.dat",
                                                L"Vevida2.0.exe", L"empty.pak"}));
    // The file bytes are exactly what our serialiser writes for this list.
    EXPECT_EQ(dir.ReadFile("out/packserv.txt"), SerializeList(list));

    std::wstring guard;
    ASSERT_TRUE(ReadGuardFile(dir.wpath() + L"/out/packserv.md5", guard));
    EXPECT_EQ(guard, FileMd5(dir.Join("out/packserv.txt")));

    for (const auto& e : list) {
        std::wstring slashed = e->szPath;
        for (wchar_t& c : slashed) c = c == L'\\' ? L'/' : c;
        const std::string rel = text::ToUtf8(slashed);
        const std::string archive = dir.Join("out/" + rel + ".zip");
        EXPECT_EQ(e->szChecksum, FileMd5(dir.Join("build/" + rel))) << rel;
        EXPECT_EQ(e->nFileSize, static_cast<int32_t>(std::filesystem::file_size(dir.Join("build/" + rel))));
        EXPECT_EQ(e->nDownloadSize, static_cast<int32_t>(std::filesystem::file_size(archive))) << rel;
        std::vector<ZipEntry> entries = ReadZip(archive);
        ASSERT_EQ(entries.size(), 1u) << rel;
        EXPECT_EQ(entries[0].name, rel);
        EXPECT_EQ(entries[0].content, dir.ReadFile("build/" + rel));
        EXPECT_EQ(entries[0].madeByHost, 3u) << "made by Unix";
        struct stat st {};
        stat(dir.Join("build/" + rel).c_str(), &st);
        EXPECT_EQ(entries[0].mode, st.st_mode & 0xFFFF) << rel;
    }

    // Published again: only changed or missing archives are rewritten.
    const ino_t changed = Inode(dir.Join("out/Data/b.dat.zip"));
    const ino_t listInode = Inode(dir.Join("out/packserv.txt"));
    const ino_t kept = Inode(dir.Join("out/empty.pak.zip"));

    // Nothing changed: nothing rewritten, not even the list's bytes.
    const std::string listBytes = dir.ReadFile("out/packserv.txt");
    ASSERT_EQ(Publish(dir, "build", "out"), 0);
    EXPECT_EQ(Inode(dir.Join("out/Data/b.dat.zip")), changed);
    EXPECT_EQ(dir.ReadFile("out/packserv.txt"), listBytes);

    dir.WriteFile("build/Data/b.dat", "BBB");  // same size, new content
    std::filesystem::remove_all(dir.Join("build/Data/Map"));
    dir.WriteFile("build/new.dat", "new");
    // A deleted archive is rebuilt even though the list says unchanged.
    std::filesystem::remove(dir.Join("out/Vevida2.0.exe.zip"));
    ASSERT_EQ(Publish(dir, "build", "out", &err), 0) << err;
    EXPECT_EQ(Inode(dir.Join("out/empty.pak.zip")), kept);
    EXPECT_EQ(ReadZip(dir.Join("out/Vevida2.0.exe.zip")).size(), 1u);
    EXPECT_NE(Inode(dir.Join("out/Data/b.dat.zip")), changed);
    EXPECT_EQ(ReadZip(dir.Join("out/Data/b.dat.zip"))[0].content, "BBB");
    EXPECT_FALSE(dir.Exists("out/Data/Map/a.dat.zip"));
    EXPECT_FALSE(dir.Exists("out/Data/Map"));  // emptied folders go too
    EXPECT_TRUE(dir.Exists("out/new.dat.zip"));
    EXPECT_NE(Inode(dir.Join("out/packserv.txt")), listInode);

    PackFileList after;
    ASSERT_TRUE(ReadListFile(dir.wpath() + L"/out/packserv.txt", after));
    ASSERT_EQ(after.size(), 5u);
    ASSERT_TRUE(ReadGuardFile(dir.wpath() + L"/out/packserv.md5", guard));
    EXPECT_EQ(guard, FileMd5(dir.Join("out/packserv.txt")));
}

TEST(Publisher, RefusesNamesAListCannotCarryAndBadFoldersAndWritesNothing) {
    std::string deep;  // over 259 characters in all, each name short
    for (int i = 0; i < 30; ++i) deep += "folder" + std::to_string(i) + "/";
    const std::map<std::string, std::string> bad = {
        {"a|b.dat", "\"|\""},
        {"line\nbreak.dat", "line break"},
        {"back\\slash.dat", "backslash"},
        {"tick`.dat", "would not carry it"},
        {std::string(201, 'x') + ".dat", "204 for the path"},
        {"packclit.lit", "client list"},
        {"Temp/x.dat", "Temp"},
        {deep + "f.dat", "more than 259"},
        {"Good.dat", "letter case"},
    };
    for (const auto& [name, why] : bad) {
        TempDir dir;
        dir.WriteFile("build/good.dat", "ok");
        dir.WriteFile("build/" + name, "bad");
        std::string err;
        EXPECT_NE(Publish(dir, "build", "out", &err), 0) << name;
        EXPECT_NE(err.find(why), std::string::npos) << name << ": " << err;
        EXPECT_NE(err.find("nothing was written"), std::string::npos) << err;
        EXPECT_FALSE(dir.Exists("out")) << name;
    }
    TempDir dir;
    dir.WriteFile("build/good.dat", "ok");
    EXPECT_NE(Publish(dir, "build", "build/out"), 0);  // output inside the build
    EXPECT_NE(Publish(dir, "missing", "out"), 0);
}

}  // namespace
