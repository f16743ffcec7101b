// MD5 throughput of ChecksumOfFile against OpenSSL's MD5 on the same 1 GiB
// file, kept in the page cache. Runs alternate between the two so that drift
// of the machine hits both; the ratio is of the median throughputs.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "util/text_util.h"
#include "launcher/md5_checksum.h"

namespace {

constexpr uint64_t kFileBytes = 1ull << 30;
constexpr int kRounds = 5;

std::string g_path;

// Made once and kept in the temporary folder for later runs.
bool PrepareFile(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || static_cast<uint64_t>(st.st_size) != kFileBytes) {
        FILE* f = fopen(path.c_str(), "wb");
        if (!f) return false;
        std::vector<uint64_t> block(1 << 17);
        uint64_t x = 0x9E3779B97F4A7C15ull;
        for (uint64_t done = 0; done < kFileBytes; done += block.size() * 8) {
            for (auto& v : block) {
                x ^= x << 13;
                x ^= x >> 7;
                x ^= x << 17;
                v = x;
            }
            fwrite(block.data(), 8, block.size(), f);
        }
        if (fclose(f) != 0) return false;
    }
    // Read it once so both sides start from the page cache.
    int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    std::vector<char> buf(1 << 20);
    while (read(fd, buf.data(), buf.size()) > 0) {
    }
    close(fd);
    return true;
}

std::wstring OursDigest() {
    wchar_t out[260] = {};
    ChecksumOfFile(out, text::FromUtf8(g_path));
    return out;
}

// The peer reads with plain read() into a large buffer, as a digest tool
// would, and hashes through OpenSSL's EVP interface.
std::wstring OpenSslDigest() {
    int fd = open(g_path.c_str(), O_RDONLY);
    if (fd < 0) return {};
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    EVP_DigestInit_ex(ctx, EVP_md5(), nullptr);
    static std::vector<unsigned char> buf(256 * 1024);
    ssize_t n;
    while ((n = read(fd, buf.data(), buf.size())) > 0)
        EVP_DigestUpdate(ctx, buf.data(), static_cast<size_t>(n));
    close(fd);
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned len = 0;
    EVP_DigestFinal_ex(ctx, md, &len);
    EVP_MD_CTX_free(ctx);
    std::wstring text;
    static const wchar_t kHex[] = L"0123456789abcdef";
    for (unsigned i = 0; i < len; ++i) {
        text += kHex[md[i] >> 4];
        text += kHex[md[i] & 15];
    }
    return text;
}

void BM_Ours(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(OursDigest());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileBytes));
}

void BM_OpenSsl(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(OpenSslDigest());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileBytes));
}

// Prints as usual and keeps the seconds per run of each side.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, std::vector<double>> wall, cpu;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.iterations == 0) continue;
            wall[r.run_name.function_name].push_back(r.real_accumulated_time / r.iterations);
            cpu[r.run_name.function_name].push_back(r.cpu_accumulated_time / r.iterations);
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const char* tmp = getenv("TMPDIR");
    const std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/quon-bench";
    mkdir(folder.c_str(), 0755);
    g_path = folder + "/md5-1GiB.bin";
    if (!PrepareFile(g_path)) {
        fprintf(stderr, "bench_md5: cannot prepare %s\n", g_path.c_str());
        return 1;
    }
    if (OursDigest() != OpenSslDigest()) {
        fprintf(stderr, "bench_md5: the digests differ\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    for (int i = 0; i < kRounds; ++i) {
        benchmark::RegisterBenchmark("md5/ours", BM_Ours)
            ->Iterations(1)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("md5/openssl", BM_OpenSsl)
            ->Iterations(1)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
    }
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    // CPU time is the primary figure: on a shared machine the wall clock also
    // counts the time other processes held the core.
    const double ours = Median(reporter.cpu["md5/ours"]), peer = Median(reporter.cpu["md5/openssl"]);
    const double oursWall = Median(reporter.wall["md5/ours"]),
                 peerWall = Median(reporter.wall["md5/openssl"]);
    if (ours <= 0 || peer <= 0 || oursWall <= 0 || peerWall <= 0) return 1;
    const double mib = static_cast<double>(kFileBytes) / (1 << 20);
    fflush(stdout);
    printf(
        "\nRATIO md5 ChecksumOfFile/OpenSSL throughput = %.3f by CPU time (ours %.0f MiB/s, OpenSSL %.0f "
        "MiB/s), "
        "%.3f by wall clock; 1 GiB file in page cache, median of %d alternating runs, target >= 0.95\n",
        peer / ours, mib / ours, mib / peer, peerWall / oursWall, kRounds);
    return 0;
}
