// A fetch ahead never shows a part of an archive under the archive's name:
// while the body arrives, and after a cancel or a cut connection, only a
// temporary the start-up clean-up knows is there, or nothing at all.
#include "support/test_common.h"

#include "base/file_system.h"
#include "os/url_prefetch.h"

namespace {
using namespace std::chrono_literals;

UrlPrefetcher::Status WaitForBytes(UrlPrefetcher& fetcher, uint64_t ticket) {
    UrlPrefetcher::Status status;
    WaitUntil([&] {
        status = fetcher.Wait(ticket, 20ms);
        return status.outcome != UrlPrefetcher::Outcome::kRunning || status.received > 0;
    });
    return status;
}
}  // namespace

TEST(PrefetchFile, ABodyUnderWayOrCutOffNeverShowsUnderTheArchiveNameAndOneInMemoryIsHandedOverOnce) {
    TempDir dir;
    const std::string body(512 * 1024, 'z');
    for (const char* name : {"whole", "stalled", "dropped"}) dir.WriteFile(std::string("server/") + name + ".zip", body);
    TestHttpServer server(dir.Join("server"));
    server.StallAfter("/stalled.zip", 64 * 1024);
    server.DropAfter("/dropped.zip", 100 * 1024);
    const std::string out = dir.Join("out");
    std::filesystem::create_directories(out);
    auto fetcher = UrlPrefetcher::Create(2);

    // Part of the body is in, the rest held back: a temporary only.
    fetcher->Start(1, server.BaseUrl() + "stalled.zip", out + "/1.zip");
    UrlPrefetcher::Status status = WaitForBytes(*fetcher, 1);
    ASSERT_EQ(status.outcome, UrlPrefetcher::Outcome::kRunning);
    ASSERT_GT(status.received, 0u);
    const std::string names = FolderNames(out);
    EXPECT_TRUE(names.starts_with("1.zip.qtmp-") && fsys::IsTemporaryName(names)) << names;
    fetcher->Cancel(1);
    EXPECT_TRUE(WaitUntil([&] { return FolderNames(out).empty(); }, 5000));

    // The connection cut part-way: a failure, and nothing left.
    fetcher->Start(2, server.BaseUrl() + "dropped.zip", out + "/2.zip");
    status = fetcher->Wait(2, 10s);
    EXPECT_EQ(status.outcome, UrlPrefetcher::Outcome::kFailed);
    EXPECT_TRUE(FolderNames(out).empty());

    // Complete: the archive under its name, whole, and no temporary.
    fetcher->Start(3, server.BaseUrl() + "whole.zip", out + "/3.zip");
    status = fetcher->Wait(3, 10s);
    EXPECT_EQ(status.outcome, UrlPrefetcher::Outcome::kDone);
    EXPECT_EQ(FolderNames(out), "3.zip");
    EXPECT_EQ(ReadWholeFile(out + "/3.zip"), body);

    // A body kept in memory is handed over once, whole; one longer than the
    // list said is not kept at all, whatever the server sends.
    ASSERT_TRUE(fetcher->KeepsBodies());
    fetcher->StartInMemory(5, server.BaseUrl() + "whole.zip", body.size());
    fetcher->StartInMemory(6, server.BaseUrl() + "whole.zip", body.size() - 1);
    EXPECT_EQ(fetcher->Wait(5, 10s).outcome, UrlPrefetcher::Outcome::kDone);
    EXPECT_EQ(fetcher->Wait(6, 10s).outcome, UrlPrefetcher::Outcome::kFailed);
    std::string taken;
    EXPECT_TRUE(fetcher->TakeBody(5, taken) && taken == body);
    EXPECT_FALSE(fetcher->TakeBody(5, taken));
    EXPECT_FALSE(fetcher->TakeBody(6, taken));
    EXPECT_EQ(FolderNames(out), "3.zip");

    // Going away while a fetch runs leaves what was done and nothing else.
    fetcher->Start(4, server.BaseUrl() + "stalled.zip", out + "/4.zip");
    WaitForBytes(*fetcher, 4);
    fetcher.reset();
    EXPECT_EQ(FolderNames(out), "3.zip");
}
