#include "flashoperations.h"
#include "flashdevice.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace Brevane {

namespace {

unsigned g_displayFlags = FLASH_DISPLAY_DEFAULT;

void show(unsigned flag, const char* format, ...) __attribute__((format(printf, 2, 3)));
void show(unsigned flag, const char* format, ...)
{
    if ((g_displayFlags & flag) == 0)
        return;
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
}

// The "..." after "in progress:" holds the place of three digits, which each
// update rubs out with backspaces.
class ProgressDisplay
{
public:
    explicit ProgressDisplay(std::uint64_t total)
        : m_total(total)
    {
    }
    void update(std::uint64_t done)
    {
        const unsigned long percent =
            m_total == 0 ? 100 : static_cast<unsigned long>((done * 100 + m_total / 2) / m_total);
        if (percent != m_shown) {
            show(FLASH_SHOW_PROGRESS, "\b\b\b%03lu", percent);
            m_shown = percent;
        }
    }
    void finish() { show(FLASH_SHOW_PROGRESS, "\n"); }

private:
    std::uint64_t m_total;
    unsigned long m_shown = static_cast<unsigned long>(-1);
};

void showGeometry(const mtd_info_user& info)
{
    show(FLASH_SHOW_GEOMETRY, "MTD type: %u\n", unsigned(info.type));
    show(FLASH_SHOW_GEOMETRY, "MTD total size : %u bytes\n", info.size);
    show(FLASH_SHOW_GEOMETRY, "MTD write size : %u bytes\n", info.writesize);
    show(FLASH_SHOW_GEOMETRY, "MTD erase size : %u bytes\n", info.erasesize);
    show(FLASH_SHOW_GEOMETRY, "MTD overhead / block : %u bytes\n", info.oobsize);
    show(FLASH_SHOW_GEOMETRY, "MTD Flags : 0x%08X\n", info.flags);
}

bool eraseBlocks(const FlashDevice& flash, std::uint32_t start, std::uint32_t blocks, std::uint32_t eraseSize)
{
    ProgressDisplay progress(blocks);
    for (std::uint32_t block = 0; block < blocks; ++block) {
        const std::uint32_t offset = start + block * eraseSize;
        // Chips without block locking refuse the unlock; the erase still works.
        flash.unlock(offset, eraseSize);
        if (flash.erase(offset, eraseSize) != 0) {
            progress.finish();
            std::fputs("ERASE IOCTL failed\n", stderr);
            return false;
        }
        progress.update(block + 1);
    }
    progress.finish();
    return true;
}

// Closes a plain file descriptor; a flash descriptor belongs to its FlashDevice.
class ScopedFd
{
public:
    explicit ScopedFd(int fd)
        : m_fd(fd)
    {
    }
    ~ScopedFd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ScopedFd(const ScopedFd&) = delete;
    ScopedFd& operator=(const ScopedFd&) = delete;

private:
    int m_fd;
};

// Opens a copy source or destination; flash first, then a plain file.
int openEnd(const char* path, FlashDevice& flash, int flashFlags, int fileFlags, mode_t mode)
{
    if (FlashDevice::kindOf(path) == FlashDevice::Kind::Flash)
        return flash.open(path, flashFlags) ? flash.fd() : -1;
    return ::open(path, fileFlags | O_CLOEXEC, mode);
}

int transfer(int from, int to, size_t size, const char* source, const char* destination)
{
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[FLASH_COPY_BUFFER_SIZE]);
    if (!buffer) {
        std::fputs("Could not get buffer\n", stderr);
        return FLASH_NO_BUFFER;
    }
    show(FLASH_SHOW_MESSAGES, "Transfer in progress: ...");
    ProgressDisplay progress(size);
    for (size_t done = 0; done < size;) {
        const size_t piece = std::min(FLASH_COPY_BUFFER_SIZE, size - done);
        if (::read(from, buffer.get(), piece) != ssize_t(piece)) {
            progress.finish();
            std::fprintf(stderr, "Could not read from %s\n", source);
            return FLASH_READ_FAILED;
        }
        if (::write(to, buffer.get(), piece) != ssize_t(piece)) {
            progress.finish();
            std::fprintf(stderr, "Could not write to %s\n", destination);
            return FLASH_WRITE_FAILED;
        }
        done += piece;
        progress.update(done);
    }
    progress.finish();
    return FLASH_OK;
}

bool verify(int source, int destination, size_t size)
{
    std::unique_ptr<char[]> expected(new (std::nothrow) char[FLASH_COPY_BUFFER_SIZE]);
    std::unique_ptr<char[]> actual(new (std::nothrow) char[FLASH_COPY_BUFFER_SIZE]);
    if (!expected || !actual) {
        std::fputs("Could not get buffer\n", stderr);
        return false;
    }
    for (size_t done = 0; done < size;) {
        const size_t piece = std::min(FLASH_COPY_BUFFER_SIZE, size - done);
        if (::pread(source, expected.get(), piece, off_t(done)) != ssize_t(piece)
            || ::pread(destination, actual.get(), piece, off_t(done)) != ssize_t(piece)
            || std::memcmp(expected.get(), actual.get(), piece) != 0) {
            std::fprintf(stderr, "Verify failed after %zu bytes\n", done);
            return false;
        }
        done += piece;
    }
    return true;
}

size_t wholeSize(int fd, const FlashDevice& flash)
{
    if (flash.fd() == fd) {
        mtd_info_user info;
        return flash.getInfo(&info) == 0 ? info.size : 0;
    }
    struct stat status;
    return ::fstat(fd, &status) == 0 ? size_t(status.st_size) : 0;
}

} // namespace

void setFlashDisplayFlags(unsigned flags)
{
    g_displayFlags = flags;
}

unsigned flashDisplayFlags()
{
    return g_displayFlags;
}

int eraseFlash(const char* devicePath, long startOffset, size_t size)
{
    FlashDevice flash;
    mtd_info_user info;
    if (!flash.open(devicePath, O_RDWR | O_SYNC) || flash.getInfo(&info) != 0 || info.erasesize == 0) {
        std::fprintf(stderr, "Could not open mtd device at %s for erasure\n", devicePath);
        return FLASH_CANNOT_OPEN;
    }
    showGeometry(info);

    if (size == FLASH_SIZE_ALL) {
        show(FLASH_SHOW_MESSAGES, "No size given, erasing entire partition\n");
        show(FLASH_SHOW_MESSAGES, "Erase in progress: ...");
        if (!eraseBlocks(flash, 0, info.size / info.erasesize, info.erasesize)) {
            std::fputs("Failure to erase whole partition of flash\n", stderr);
            return FLASH_FAILED;
        }
        show(FLASH_SHOW_MESSAGES, "Flash erased successfully\n");
        return FLASH_OK;
    }

    if (startOffset < 0 || size > info.size) {
        std::fputs("attempt to erase more than partition size \n", stderr);
        return FLASH_FAILED;
    }
    if (size % info.erasesize != 0) {
        std::fputs("Size not a multiple of erase size\n", stderr);
        return FLASH_FAILED;
    }
    if (startOffset % long(info.erasesize) != 0) {
        startOffset -= startOffset % long(info.erasesize);
        show(FLASH_SHOW_MESSAGES, "Moving device start offset to erase boundary, new start offset: %ld\n", startOffset);
    }
    if (std::uint64_t(startOffset) + size > info.size) {
        std::fputs("attempt to erase more than partition size \n", stderr);
        return FLASH_FAILED;
    }
    const std::uint32_t sectors = std::uint32_t(size / info.erasesize);
    show(FLASH_SHOW_MESSAGES, "Erase in progress (%d sectors from offset 0x%08lX): ...\n", int(sectors),
         static_cast<unsigned long>(startOffset));
    if (!eraseBlocks(flash, std::uint32_t(startOffset), sectors, info.erasesize))
        return FLASH_FAILED;
    show(FLASH_SHOW_MESSAGES, "Flash erased successfully\n");
    return FLASH_OK;
}

int copyToFlash(const char* sourcePath, const char* destinationPath, size_t size, unsigned copyFlags)
{
    FlashDevice sourceFlash;
    const FlashDevice::Kind sourceKind = FlashDevice::kindOf(sourcePath);
    if (sourceKind != FlashDevice::Kind::Flash && sourceKind != FlashDevice::Kind::RegularFile) {
        std::fprintf(stderr, "Could not open %s\n", sourcePath);
        std::fputs("Reason: Invalid source\n", stderr);
        return FLASH_CANNOT_OPEN;
    }
    const int source = openEnd(sourcePath, sourceFlash, O_RDONLY, O_RDONLY, 0);
    if (source < 0) {
        std::fprintf(stderr, "Could not open %s\n", sourcePath);
        std::fprintf(stderr, "Reason: %s\n", std::strerror(errno));
        return FLASH_CANNOT_OPEN;
    }
    const ScopedFd sourceGuard(sourceFlash.fd() == source ? -1 : source);

    FlashDevice destinationFlash;
    const FlashDevice::Kind destinationKind = FlashDevice::kindOf(destinationPath);
    if (destinationKind == FlashDevice::Kind::Other) {
        std::fprintf(stderr, "Could not open %s\n", destinationPath);
        std::fputs("Reason: Invalid destination\n", stderr);
        return FLASH_BAD_DESTINATION;
    }
    const bool toFlash = destinationKind == FlashDevice::Kind::Flash;
    if (size == FLASH_SIZE_ALL)
        size = wholeSize(source, sourceFlash);

    if (toFlash) {
        FlashDevice probe;
        mtd_info_user info;
        if (!probe.open(destinationPath, O_RDONLY) || probe.getInfo(&info) != 0 || info.erasesize == 0) {
            std::fprintf(stderr, "Could not open %s\n", destinationPath);
            std::fprintf(stderr, "Reason: %s\n", std::strerror(errno));
            return FLASH_BAD_DESTINATION;
        }
        if (size > info.size) {
            std::fprintf(stderr, "Size requested is %zd bytes but mtd is only %u bytes\n", ssize_t(size), info.size);
            return FLASH_TOO_LARGE;
        }
        // Rounded up in 64 bits: near the top of a 4 GiB device a 32-bit size_t would wrap.
        const std::uint64_t rounded = (std::uint64_t(size) + info.erasesize - 1) / info.erasesize * info.erasesize;
        const size_t eraseSize = size_t(std::min<std::uint64_t>(rounded, SIZE_MAX));
        if (eraseSize > 0 && eraseFlash(destinationPath, 0, eraseSize) != FLASH_OK) {
            std::fprintf(stderr, "Write failed, could not erase device %s first\n", destinationPath);
            return FLASH_ERASE_FAILED;
        }
    }
    const int destination =
        openEnd(destinationPath, destinationFlash, O_RDWR | O_SYNC, O_RDWR | O_CREAT | O_TRUNC | O_SYNC, 0644);
    if (destination < 0) {
        std::fprintf(stderr, "Could not open %s\n", destinationPath);
        std::fprintf(stderr, "Reason: %s\n", std::strerror(errno));
        return FLASH_BAD_DESTINATION;
    }
    const ScopedFd destinationGuard(destinationFlash.fd() == destination ? -1 : destination);

    show(FLASH_SHOW_MESSAGES, "%zd bytes to transfer\n", ssize_t(size));
    const int transferred = transfer(source, destination, size, sourcePath, destinationPath);
    if (transferred != FLASH_OK)
        return transferred;
    if ((copyFlags & FLASH_COPY_VERIFY) && !verify(source, destination, size))
        return FLASH_VERIFY_FAILED;
    show(FLASH_SHOW_MESSAGES, "Success! Copied %d bytes from %s to %s\n", int(size), sourcePath, destinationPath);
    return FLASH_OK;
}

} // namespace Brevane
