#include "flashdevice.h"
#include "deviceroot.h"
#include "mtdpartitions.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Brevane {

namespace {

constexpr std::uint8_t ERASED_BYTE = 0xFF;
constexpr size_t ERASE_CHUNK = 4096;

// Compared as directories, so that another spelling of the same folder counts.
bool inDeviceFolder(const char* path, const char* slash)
{
    const std::string folder = !slash ? std::string(".") : slash == path ? std::string("/") : std::string(path, slash);
    struct stat folderStatus;
    struct stat deviceStatus;
    return ::stat(folder.c_str(), &folderStatus) == 0 && ::stat(devicePath("/dev").c_str(), &deviceStatus) == 0
        && folderStatus.st_dev == deviceStatus.st_dev && folderStatus.st_ino == deviceStatus.st_ino;
}

bool standInGeometry(const char* path, mtd_info_user* info)
{
    // Root "/" is the instrument, where a plain file keeps its ordinary meaning.
    if (deviceRoot() == "/")
        return false;
    const char* slash = std::strrchr(path, '/');
    if (!inDeviceFolder(path, slash))
        return false;
    const std::string device = slash ? slash + 1 : path;
    try {
        for (const auto& entry : readMtdPartitions()) {
            const MtdPartition& partition = entry.second;
            if (partition.device != device)
                continue;
            *info = mtd_info_user();
            info->type = MTD_NORFLASH;
            info->flags = MTD_CAP_NORFLASH;
            info->size = partition.size;
            info->erasesize = partition.eraseSize;
            info->writesize = 1;
            return partition.eraseSize > 0;
        }
    } catch (const std::exception&) {
        // A broken map describes no stand-in.
    }
    return false;
}

} // namespace

FlashDevice::~FlashDevice()
{
    close();
}

FlashDevice::Kind FlashDevice::kindOf(const char* path)
{
    struct stat status;
    if (::stat(path, &status) != 0)
        return Kind::Missing;
    if (S_ISCHR(status.st_mode))
        return Kind::Flash;
    if (!S_ISREG(status.st_mode))
        return Kind::Other;
    mtd_info_user info;
    return standInGeometry(path, &info) ? Kind::Flash : Kind::RegularFile;
}

bool FlashDevice::open(const char* path, int flags)
{
    close();
    const Kind kind = kindOf(path);
    if (kind != Kind::Flash) {
        errno = kind == Kind::Missing ? ENOENT : ENOTTY;
        return false;
    }
    m_fd = ::open(path, flags | O_CLOEXEC);
    if (m_fd < 0)
        return false;
    struct stat status;
    m_standIn = ::fstat(m_fd, &status) == 0 && S_ISREG(status.st_mode);
    if (m_standIn && !standInGeometry(path, &m_standInInfo)) {
        close();
        errno = ENOTTY;
        return false;
    }
    return true;
}

void FlashDevice::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_standIn = false;
}

int FlashDevice::getInfo(mtd_info_user* info) const
{
    if (!m_standIn)
        return ::ioctl(m_fd, MEMGETINFO, info);
    *info = m_standInInfo;
    return 0;
}

int FlashDevice::unlock(std::uint32_t start, std::uint32_t length) const
{
    erase_info_user region = {start, length};
    if (!m_standIn)
        return ::ioctl(m_fd, MEMUNLOCK, &region);
    return 0;
}

int FlashDevice::erase(std::uint32_t start, std::uint32_t length) const
{
    erase_info_user region = {start, length};
    if (!m_standIn)
        return ::ioctl(m_fd, MEMERASE, &region);
    const std::uint64_t end = std::uint64_t(start) + length;
    if (end > m_standInInfo.size || start % m_standInInfo.erasesize != 0 || length % m_standInInfo.erasesize != 0) {
        errno = EINVAL;
        return -1;
    }
    std::uint8_t erased[ERASE_CHUNK];
    std::memset(erased, ERASED_BYTE, sizeof erased);
    for (std::uint64_t offset = start; offset < end;) {
        const size_t chunk = size_t(std::min<std::uint64_t>(sizeof erased, end - offset));
        if (::pwrite(m_fd, erased, chunk, off_t(offset)) != ssize_t(chunk))
            return -1;
        offset += chunk;
    }
    return 0;
}

} // namespace Brevane
