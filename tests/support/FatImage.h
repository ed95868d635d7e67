// A card as the system meets it: a FAT image with a label, mounted with fusefat on a folder and
// unmounted when the object goes. Tests skip with WhyUnusable() where FUSE cannot be used.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/system/Volumes.h"
#include "tests/support/TestSupport.h"

namespace gbxtest {

class CFatImage {
public:
    // Empty when images can be made and mounted here; else the reason.
    static std::string WhyUnusable() {
        for (const char* tool : {"fusefat", "mkfs.vfat", "fusermount"})
            if (!HaveCommand(tool)) return std::string(tool) + " is not installed";
        if (access("/dev/fuse", R_OK | W_OK) != 0)
            return std::string("/dev/fuse cannot be used: ") + std::strerror(errno);
        return std::string();
    }

    // Makes the image file (size as truncate takes it: "16M"); fatBits 12, 16 or 32, or 0 for
    // what mkfs.vfat chooses for the size.
    CFatImage(std::string image, const std::string& label, const std::string& size, int fatBits = 0)
        : m_image(std::move(image)),
          m_made(Run("truncate -s " + size + " " + Quote(m_image)).exitCode == 0
                 && Run("mkfs.vfat " + (fatBits != 0 ? "-F " + std::to_string(fatBits) + " " : std::string()) + "-n "
                        + Quote(label) + " " + Quote(m_image) + " >/dev/null")
                            .exitCode
                        == 0) {}
    ~CFatImage() { Unmount(); }
    CFatImage(const CFatImage&) = delete;
    CFatImage& operator=(const CFatImage&) = delete;

    bool IsMade() const { return m_made; }
    // Empty when the image is mounted at the folder and a card mounted there later can be told
    // from it (the kernel gives every mount a unique id); else the reason.
    static std::string WhyCardsCannotBeSwapped(CFatImage& image, const std::string& folder) {
        const int code = image.Mount(folder);
        if (code != 0) return "fusefat could not mount here (exit " + std::to_string(code) + ")";
        platform::VolumeIdentity identity;
        if (!platform::ReadVolumeIdentity(folder, false, identity) || !identity.uniqueMountId)
            return "this kernel gives mounts no unique id (Linux 6.8 and later do): a FUSE card, which has no "
                   "file-system serial to read, cannot be told from another one mounted in its place";
        return std::string();
    }
    // fusefat's exit code: 0 when mounted read-write on the (existing) folder.
    int Mount(const std::string& folder) {
        const int code = Run("fusefat -o rw+ " + Quote(m_image) + " " + Quote(folder) + " >/dev/null 2>&1").exitCode;
        if (code == 0) m_mountPoint = folder;
        return code;
    }
    bool Unmount() {
        if (m_mountPoint.empty()) return true;
        const bool done = Run("fusermount -u -q " + Quote(m_mountPoint) + " 2>/dev/null").exitCode == 0;
        if (done) m_mountPoint.clear();
        return done;
    }

private:
    std::string m_image;
    bool m_made;
    std::string m_mountPoint;
};

}  // namespace gbxtest
