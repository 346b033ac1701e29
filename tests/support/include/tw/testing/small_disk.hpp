#pragma once
// A full disk on demand: a 256 KiB tmpfs mounted over a folder in a mount namespace of the
// calling thread (so no other process sees it). Needs the right to mount.

#include <cerrno>
#include <cstring>
#include <sched.h>
#include <string>
#include <sys/mount.h>

namespace tw::test {

class SmallDisk {
public:
    // Mounts over the existing folder `path`; Mounted() tells whether that worked, Why() why not.
    explicit SmallDisk(std::string path) : m_path(std::move(path)) {
        m_mounted = ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                    ::mount("tmpfs", m_path.c_str(), "tmpfs", 0, "size=256k") == 0;
        if (!m_mounted) m_why = std::strerror(errno);
    }
    ~SmallDisk() { Unmount(); }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool Mounted() const { return m_mounted; }
    const std::string& Why() const { return m_why; }
    void Unmount() {
        if (m_mounted) ::umount2(m_path.c_str(), MNT_DETACH);
        m_mounted = false;
    }

private:
    std::string m_path;
    std::string m_why;
    bool m_mounted = false;
};

}  // namespace tw::test
