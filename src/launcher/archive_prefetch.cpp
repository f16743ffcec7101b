#include "launcher/archive_prefetch.h"

#include <chrono>

#include "util/file_util.h"
#include "util/path_util.h"
#include "os/disk_space.h"
#include "base/file_system.h"

namespace {
constexpr auto kProgressInterval = std::chrono::milliseconds(100);
constexpr uint64_t kRoomMargin = 1024 * 1024;
}  // namespace

CArchivePrefetch::CArchivePrefetch(std::unique_ptr<UrlPrefetcher> fetcher, std::vector<Item> items,
                                   std::wstring folder, Limits limits)
    : m_fetcher(std::move(fetcher)),
      m_items(std::move(items)),
      m_slots(m_items.size(), Slot::kIdle),
      m_inMemory(m_items.size(), false),
      m_folder(std::move(folder)),
      m_limits(limits) {
    if (m_fetcher && !CreateFoldersAlongPath(m_folder + L"/")) m_fetcher.reset();
}

std::string CArchivePrefetch::PathOf(size_t index) const {
    // Numbered: two files of the same name in different folders would share
    // an archive name.
    return NativePath(m_folder + L"/" + std::to_wstring(index) + L".zip");
}

void CArchivePrefetch::Release(size_t index) {
    if (m_slots[index] != Slot::kStarted) return;
    m_slots[index] = Slot::kGone;
    m_ahead -= m_items[index].size;
    if (!m_inMemory[index]) m_onDisk -= m_items[index].size;
    --m_outstanding;
}

bool CArchivePrefetch::Fits(uint64_t need) const {
    uint64_t available = 0;
    if (!fsys::AvailableBytes(NativePath(m_folder), &available)) return false;
    // Blocks and metadata: a few percent over the bytes themselves.
    const uint64_t wanted = need + m_onDisk;
    return available >= wanted + wanted / 32 + kRoomMargin;
}

void CArchivePrefetch::MakeRoom(uint64_t need) {
    if (m_fetcher && m_outstanding > 0 && !Fits(need)) Halt();
}

void CArchivePrefetch::Ahead(size_t current) {
    if (!m_fetcher) return;
    if (m_next <= current) m_next = current + 1;
    while (m_next < m_items.size() && m_outstanding < m_limits.files) {
        const uint64_t size = m_items[m_next].size;
        // One file is always allowed, however large, so that the next
        // download runs while this one is unpacked.
        if (m_outstanding > 0 && m_ahead + size > m_limits.bytes) break;
        // Never into the room the files before it will need unpacked.
        uint64_t unpacked = 0;
        for (size_t i = current; i <= m_next; ++i) unpacked += m_items[i].fileSize;
        if (!Fits(size + unpacked)) break;
        const bool inMemory = m_fetcher->KeepsBodies() && size <= m_limits.inMemoryUpTo;
        if (inMemory) {
            m_fetcher->StartInMemory(m_next, m_items[m_next].url, size);
        } else {
            m_fetcher->Start(m_next, m_items[m_next].url, PathOf(m_next));
            m_onDisk += size;
        }
        m_inMemory[m_next] = inMemory;
        m_slots[m_next] = Slot::kStarted;
        m_ahead += size;
        ++m_outstanding;
        ++m_next;
    }
}

bool CArchivePrefetch::Take(size_t index, const std::wstring& archive,
                            const std::function<bool(uint64_t)>& progress, Taken* taken) {
    if (!m_fetcher || index >= m_slots.size() || m_slots[index] != Slot::kStarted) return false;
    for (;;) {
        const UrlPrefetcher::Status status = m_fetcher->Wait(index, kProgressInterval);
        switch (status.outcome) {
            case UrlPrefetcher::Outcome::kRunning:
                if (progress(status.received)) continue;
                m_fetcher->Cancel(index);
                Release(index);
                return false;
            case UrlPrefetcher::Outcome::kDone:
                Release(index);
                taken->inMemory = m_inMemory[index];
                if (taken->inMemory) {
                    if (!m_fetcher->TakeBody(index, taken->body)) return false;
                } else if (!fsys::Rename(PathOf(index), NativePath(archive))) {
                    fsys::RemoveFile(PathOf(index));
                    return false;
                }
                taken->bytes = status.received;
                // The archive taken is the file at hand's now: its room goes
                // to the next fetch at once, so a download is always under
                // way while this one is unpacked.
                Ahead(index);
                return true;
            case UrlPrefetcher::Outcome::kDiskFull:
                // What was fetched ahead gives its room back to the file at hand.
                Halt();
                return false;
            case UrlPrefetcher::Outcome::kFailed:
                Release(index);
                return false;
        }
    }
}

bool CArchivePrefetch::Await(size_t index, std::chrono::milliseconds wait) {
    if (!m_fetcher || index >= m_slots.size() || m_slots[index] != Slot::kStarted) return false;
    return m_fetcher->Wait(index, wait).outcome != UrlPrefetcher::Outcome::kRunning;
}

void CArchivePrefetch::Halt() {
    if (!m_fetcher) return;
    m_fetcher.reset();  // aborts and joins
    RemoveFolderTree(m_folder);
}
