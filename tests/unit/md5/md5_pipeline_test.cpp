// The digest taken on a second thread is the digest of the bytes in the
// order they were handed over, whatever the block sizes, however far the
// producer runs ahead, and a dropped digest leaves nothing behind for the
// next one.
#include "launcher/md5_pipeline.h"

#include "support/test_common.h"

namespace {
constexpr size_t kBlock = 4096;
constexpr size_t kDepth = 3;

// Hands `bytes` over in blocks of at most `step` bytes (a reader may give
// less than a block).
std::string DigestOf(CMd5Pipeline& md5, bool threaded, const std::string& bytes, size_t step) {
    md5.Begin(threaded);
    for (size_t at = 0; at < bytes.size(); at += step) {
        const size_t n = std::min(step, bytes.size() - at);
        char* block = md5.Next();
        std::memcpy(block, bytes.data() + at, n);
        md5.Hand(n);
    }
    return text::ToUtf8(md5.Finish());
}
}  // namespace

TEST(Md5Pipeline, DigestEqualsTheOneShotDigestForSizesAroundTheBlockAndRingBoundaries) {
    CMd5Pipeline md5(kBlock, kDepth);
    const size_t ring = kBlock * kDepth;
    for (bool threaded : {true, false})
        for (size_t size : {size_t{0}, size_t{1}, size_t{64}, kBlock - 1, kBlock, kBlock + 1, ring - 1, ring,
                            ring + 1, 5 * ring + 777})
            for (size_t step : {kBlock, kBlock - 1, size_t{100}}) {
                const std::string bytes = Noise(size, static_cast<unsigned>(size));
                EXPECT_EQ(DigestOf(md5, threaded, bytes, step), Md5Of(bytes))
                    << threaded << " " << size << " " << step;
            }
    // Tiny blocks and many of them: the producer outruns the digest at every
    // turn, so a block given out again too early would change the result.
    CMd5Pipeline tiny(64, 2);
    const std::string bytes = Noise(64 * 20000 + 5, 7);
    EXPECT_EQ(DigestOf(tiny, true, bytes, 64), Md5Of(bytes));
}

TEST(Md5Pipeline, ADroppedDigestLeavesNothingForTheNextOne) {
    CMd5Pipeline md5(kBlock, kDepth);
    const std::string first = Noise(kBlock * 10, 1);
    md5.Begin(true);
    for (size_t at = 0; at < first.size(); at += kBlock) {
        std::memcpy(md5.Next(), first.data() + at, kBlock);
        md5.Hand(kBlock);
    }
    md5.Drop();  // stopped with blocks still in flight
    const std::string second = Noise(kBlock * 2 + 3, 2);
    EXPECT_EQ(DigestOf(md5, true, second, kBlock), Md5Of(second));
    // Begun and never finished: a new digest starts clean, and the owner
    // going away joins the thread.
    md5.Begin(true);
    std::memcpy(md5.Next(), first.data(), kBlock);
    md5.Hand(kBlock);
    EXPECT_EQ(DigestOf(md5, false, second, 1000), Md5Of(second));
}
