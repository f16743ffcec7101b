// An archive whose every answer breaks off is continued by the launcher's
// retries instead of fetched again from its start.
#include <random>

#include "patch_fixture.h"

TEST_F(PatchRun, ArchiveBrokenOffOnEveryAnswerIsContinuedByTheRetries) {
    std::mt19937 gen(5);
    std::string content(1 << 20, '\0');
    for (char& c : content) c = static_cast<char>(gen() & 0xFF);
    Publish({{L"big.dat", {content}}});
    const std::string path = "/patch_qa/big.dat.zip";
    const size_t archive = std::filesystem::file_size(root.Join("server/patch_qa/big.dat.zip"));
    server->SetRanges(path, TestHttpServer::Ranges::kHonoured);
    server->SetValidators(path, "\"big-1\"", "");
    server->DropAfter(path, archive / 4 + 1);

    EXPECT_EQ(Run(), STATE_IDLE);
    EXPECT_TRUE(view->Boxes().empty());
    EXPECT_TRUE(Read("big.dat") == content);
    EXPECT_EQ(Fetches("big.dat"), 4);
    EXPECT_EQ(platform.m_sleptMs / 1000, 3u);
    EXPECT_LT(server->BytesSent(path), archive * 12 / 10);
    // The progress counts went on from what was on disk.
    EXPECT_EQ(dlg->m_dwTotalRecv.load(), dlg->m_dwTotalSize.load());
}
