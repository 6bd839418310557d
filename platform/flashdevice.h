#pragma once

// One open flash (MTD) partition and the three requests erase and copy need:
// geometry, unlock and erase. A character device gets the kernel's MTD ioctls.
// Under a device root other than "/", a plain file "<root>/dev/mtdN" stands in
// for the partition on mtdN listed in "<root>/proc/mtd": the geometry comes
// from that line and erasing fills the range with 0xFF, as NOR flash reads
// after an erase. Other files, and every plain file under the root "/", are not
// flash. It does not decide what to erase or write.

#include <mtd/mtd-user.h>

#include <cstdint>

namespace Brevane {

class FlashDevice
{
public:
    enum class Kind { Missing, Flash, RegularFile, Other };

    FlashDevice() = default;
    ~FlashDevice();
    FlashDevice(const FlashDevice&) = delete;
    FlashDevice& operator=(const FlashDevice&) = delete;

    static Kind kindOf(const char* path);

    // open(2) flags; false with errno set when it cannot be opened as flash.
    bool open(const char* path, int flags);
    void close();
    int fd() const { return m_fd; }

    int getInfo(mtd_info_user* info) const;
    int unlock(std::uint32_t start, std::uint32_t length) const;
    int erase(std::uint32_t start, std::uint32_t length) const;

private:
    int m_fd = -1;
    bool m_standIn = false;
    mtd_info_user m_standInInfo = {};
};

} // namespace Brevane
