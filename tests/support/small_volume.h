#pragma once
// A small file system of its own over an existing folder, to run out of room
// or to meet a folder where nothing may be written. Linux mounts a tmpfs
// (root only). Windows has no such thing without a driver and administrator
// rights: never mounted there, and the cases that need one are skipped.
#include <string>

class SmallVolume {
public:
    // `size` as tmpfs takes it ("64k", "1700k").
    SmallVolume(const std::string& folder, const std::string& size, bool readOnly = false);
    ~SmallVolume();
    SmallVolume(const SmallVolume&) = delete;
    SmallVolume& operator=(const SmallVolume&) = delete;

    bool mounted() const { return m_mounted; }

private:
    std::string m_folder;
    bool m_mounted = false;
};
