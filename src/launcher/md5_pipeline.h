#pragma once
// The MD5 of a stream of blocks, taken on a thread of its own while the
// caller goes on producing (inflating and writing) the next blocks: on a
// large file the digest costs about as much as everything else together.
// A few blocks are in flight, so memory stays bounded and the caller never
// runs more than that far ahead of the digest.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "launcher/md5_checksum.h"

class CMd5Pipeline {
public:
    // `blocks` in flight at most when threaded; their memory is taken only
    // once a threaded digest begins.
    CMd5Pipeline(size_t blockSize, size_t blocks);
    ~CMd5Pipeline() { Drop(); }
    CMd5Pipeline(const CMd5Pipeline&) = delete;
    CMd5Pipeline& operator=(const CMd5Pipeline&) = delete;

    size_t BlockSize() const { return m_blockSize; }
    // Starts a new digest, dropping any unfinished one. `threaded` false:
    // each block is hashed at once on the caller's thread (a small file is
    // not worth a thread).
    void Begin(bool threaded);
    // The next block to fill: waits while every block is still being hashed.
    char* Next();
    // Hands over the block Next gave, holding `length` bytes; blocks are
    // hashed in the order they were handed over.
    void Hand(size_t length);
    // Waits for every block handed over and gives the digest text.
    std::wstring Finish();
    // Ends the digest at once: blocks not hashed yet are not waited for.
    void Drop();

private:
    void Run();
    void Stop(bool drop);

    const size_t m_blockSize;
    const size_t m_depth;
    // [0] serves the unthreaded digest. Not zeroed: every byte is written
    // before it is read, and clearing a block per small file cost more than
    // hashing it.
    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::vector<size_t> m_lengths;
    CMD5Checksum m_md5;

    std::mutex m_mutex;
    std::condition_variable m_handed;  // a block to hash, or the end
    std::condition_variable m_hashed;  // a block free again
    uint64_t m_produced = 0;           // blocks handed over
    uint64_t m_consumed = 0;           // blocks hashed
    bool m_closing = false;            // nothing more comes: hash what is there
    bool m_dropping = false;           // or leave it
    std::thread m_thread;
};
