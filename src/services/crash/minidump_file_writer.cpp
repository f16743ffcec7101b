#include "services/crash/minidump_file_writer.h"

#include <cerrno>
#include <cstring>

#include "util/text_util.h"

namespace {

struct Location {
    uint32_t size = 0;
    uint32_t rva = 0;
};

class DumpBuffer {
public:
    std::vector<uint8_t> bytes;

    uint32_t Align() {
        while (bytes.size() % 8) bytes.push_back(0);
        return static_cast<uint32_t>(bytes.size());
    }
    Location Append(const void* data, size_t size) {
        Location at{static_cast<uint32_t>(size), Align()};
        const auto* p = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + size);
        return at;
    }
    template <typename T>
    void Put(T value) {
        const auto* p = reinterpret_cast<const uint8_t*>(&value);
        bytes.insert(bytes.end(), p, p + sizeof value);
    }
    void PutLocation(Location at) {
        Put(at.size);
        Put(at.rva);
    }
    void PutMemory(uint64_t start, Location at) {
        Put(start);
        PutLocation(at);
    }
    void Zeros(size_t count) { bytes.insert(bytes.end(), count, 0); }
    template <typename T>
    void PutAt(size_t offset, T value) {
        std::memcpy(bytes.data() + offset, &value, sizeof value);
    }
    // MINIDUMP_STRING: byte length, UTF-16 text, a 16-bit terminator.
    uint32_t AppendString(const std::string& utf8) {
        const std::string utf16 = text::EncodeUtf16LE(text::FromUtf8(utf8));
        const uint32_t rva = Align();
        Put(static_cast<uint32_t>(utf16.size()));
        bytes.insert(bytes.end(), utf16.begin(), utf16.end());
        Put(uint16_t{0});
        return rva;
    }
};

struct Stream {
    uint32_t type;
    Location at;
};

void WriteThreadList(DumpBuffer& out, const ProcessSnapshot& snapshot, const std::vector<Location>& contexts,
                     const std::vector<Location>& stacks, std::vector<Stream>& streams) {
    const uint32_t rva = out.Align();
    out.Put(static_cast<uint32_t>(snapshot.threads.size()));
    for (size_t i = 0; i < snapshot.threads.size(); ++i) {
        out.Put(snapshot.threads[i].threadId);
        out.Zeros(4 * 3 + 8);  // suspend count, priority class, priority, TEB
        out.PutMemory(snapshot.threads[i].stack.start, stacks[i]);
        out.PutLocation(contexts[i]);
    }
    streams.push_back({minidump::kThreadListStream, {static_cast<uint32_t>(out.bytes.size() - rva), rva}});
}

void WriteModuleList(DumpBuffer& out, const ProcessSnapshot& snapshot, std::vector<Stream>& streams) {
    std::vector<uint32_t> names;
    std::vector<Location> codeViews;
    for (const auto& module : snapshot.modules) {
        names.push_back(out.AppendString(module.path));
        if (module.buildId.empty()) {
            codeViews.push_back({});
            continue;
        }
        std::vector<uint8_t> record(4 + module.buildId.size());
        std::memcpy(record.data(), &minidump::kCodeViewElfBuildId, 4);
        std::memcpy(record.data() + 4, module.buildId.data(), module.buildId.size());
        codeViews.push_back(out.Append(record.data(), record.size()));
    }
    const uint32_t rva = out.Align();
    out.Put(static_cast<uint32_t>(snapshot.modules.size()));
    for (size_t i = 0; i < snapshot.modules.size(); ++i) {
        const auto& module = snapshot.modules[i];
        out.Put(module.base);
        out.Put(static_cast<uint32_t>(module.size));
        out.Zeros(8);  // checksum, time stamp
        out.Put(names[i]);
        out.Put(minidump::kFixedFileInfoSignature);
        out.Zeros(48);  // the rest of VS_FIXEDFILEINFO
        out.PutLocation(codeViews[i]);
        out.Zeros(8 + 16);  // misc record, reserved
    }
    streams.push_back({minidump::kModuleListStream, {static_cast<uint32_t>(out.bytes.size() - rva), rva}});
}

void WriteMemoryList(DumpBuffer& out, const ProcessSnapshot& snapshot, const std::vector<Location>& stacks,
                     std::vector<Stream>& streams) {
    const uint32_t rva = out.Align();
    uint32_t count = 0;
    for (const auto& at : stacks) count += at.size ? 1 : 0;
    out.Put(count);
    for (size_t i = 0; i < stacks.size(); ++i) {
        if (stacks[i].size) out.PutMemory(snapshot.threads[i].stack.start, stacks[i]);
    }
    streams.push_back({minidump::kMemoryListStream, {static_cast<uint32_t>(out.bytes.size() - rva), rva}});
}

void WriteException(DumpBuffer& out, const SnapshotException& exception, std::vector<Stream>& streams) {
    const Location context = out.Append(exception.context.data(), exception.context.size());
    const uint32_t rva = out.Align();
    out.Put(exception.threadId);
    out.Zeros(4);
    out.Put(exception.code);
    out.Zeros(4 + 8);  // flags, nested record
    out.Put(exception.address);
    const size_t count = std::min(exception.parameters.size(), minidump::kMaxExceptionParameters);
    out.Put(static_cast<uint32_t>(count));
    out.Zeros(4);
    for (size_t i = 0; i < minidump::kMaxExceptionParameters; ++i)
        out.Put(i < count ? exception.parameters[i] : 0);
    out.PutLocation(context);
    streams.push_back({minidump::kExceptionStream, {minidump::kExceptionStreamSize, rva}});
}

void WriteSystemInfo(DumpBuffer& out, const SnapshotSystem& system, std::vector<Stream>& streams) {
    const uint32_t version = out.AppendString(system.version);
    const uint32_t rva = out.Align();
    out.Put(minidump::kProcessorArchitectureAmd64);
    out.Put(system.processorLevel);
    out.Put(system.processorRevision);
    out.Put(system.processorCount);
    out.Put(uint8_t{1});  // workstation
    out.Put(system.majorVersion);
    out.Put(system.minorVersion);
    out.Put(system.buildNumber);
    out.Put(minidump::kPlatformLinux);
    out.Put(version);
    out.Zeros(4);  // suite mask, reserved
    for (uint32_t word : system.vendorId) out.Put(word);
    out.Put(system.versionInformation);
    out.Put(system.featureInformation);
    out.Zeros(4);
    streams.push_back({minidump::kSystemInfoStream, {minidump::kSystemInfoSize, rva}});
}

}  // namespace

std::vector<uint8_t> MinidumpFileWriter::Build(const ProcessSnapshot& snapshot,
                                               const std::vector<MinidumpUserStream>& user, uint64_t flags,
                                               uint32_t timeStamp) {
    const size_t streamCount = 4 + (snapshot.hasException ? 1 : 0) + snapshot.rawStreams.size() + user.size();
    DumpBuffer out;
    out.Zeros(minidump::kHeaderSize + streamCount * minidump::kDirectoryEntrySize);

    std::vector<Location> contexts, stacks;
    for (const auto& thread : snapshot.threads) {
        contexts.push_back(out.Append(thread.context.data(), thread.context.size()));
        stacks.push_back(out.Append(thread.stack.bytes.data(), thread.stack.bytes.size()));
    }
    std::vector<Stream> streams;
    WriteThreadList(out, snapshot, contexts, stacks, streams);
    WriteModuleList(out, snapshot, streams);
    WriteMemoryList(out, snapshot, stacks, streams);
    if (snapshot.hasException) WriteException(out, snapshot.exception, streams);
    WriteSystemInfo(out, snapshot.system, streams);
    for (const auto& [type, bytes] : snapshot.rawStreams)
        streams.push_back({type, out.Append(bytes.data(), bytes.size())});
    for (const auto& stream : user)
        streams.push_back({stream.type, out.Append(stream.bytes.data(), stream.bytes.size())});

    out.PutAt<uint32_t>(0, minidump::kSignature);
    out.PutAt<uint32_t>(4, minidump::kVersion);
    out.PutAt<uint32_t>(8, static_cast<uint32_t>(streams.size()));
    out.PutAt<uint32_t>(12, minidump::kHeaderSize);
    out.PutAt<uint32_t>(20, timeStamp);
    out.PutAt<uint64_t>(24, flags);
    for (size_t i = 0; i < streams.size(); ++i) {
        const size_t entry = minidump::kHeaderSize + i * minidump::kDirectoryEntrySize;
        out.PutAt(entry, streams[i].type);
        out.PutAt(entry + 4, streams[i].at.size);
        out.PutAt(entry + 8, streams[i].at.rva);
    }
    return std::move(out.bytes);
}
