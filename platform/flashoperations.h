#pragma once

// Erasing a flash partition and copying a file or partition onto a partition or
// file, with their messages and percentage display on standard error. Error
// messages always appear; which other lines appear is set by the process-wide
// display flags. Flash is reached through FlashDevice, so a plain file standing
// in for a partition is erased and written for real.

#include <cstddef>

namespace Brevane {

enum FlashDisplayFlag : unsigned {
    FLASH_SHOW_GEOMETRY = 1u << 0, // the MTD geometry lines
    FLASH_SHOW_MESSAGES = 1u << 1, // what is being done and its success
    FLASH_SHOW_PROGRESS = 1u << 2, // the percentage display
};
constexpr unsigned FLASH_DISPLAY_DEFAULT = FLASH_SHOW_MESSAGES | FLASH_SHOW_PROGRESS;

enum FlashCopyFlag : unsigned {
    FLASH_COPY_VERIFY = 1u << 0, // read the destination back and compare
};

enum FlashResult : int {
    FLASH_OK = 0,
    FLASH_FAILED = -1,
    FLASH_CANNOT_OPEN = -2, // erase: the device; copy: the source
    FLASH_BAD_DESTINATION = -3,
    FLASH_TOO_LARGE = -4,
    FLASH_ERASE_FAILED = -5,
    FLASH_READ_FAILED = -6,
    FLASH_WRITE_FAILED = -7,
    FLASH_NO_BUFFER = -8,
    FLASH_VERIFY_FAILED = -9,
};

// "Size not given": the whole partition (erase) or the whole source (copy).
constexpr size_t FLASH_SIZE_ALL = static_cast<size_t>(-1);
// Copies move this much per read and write: one common erase block.
constexpr size_t FLASH_COPY_BUFFER_SIZE = 64 * 1024;

void setFlashDisplayFlags(unsigned flags);
unsigned flashDisplayFlags();

// A start offset off an erase boundary is moved down to it.
int eraseFlash(const char* devicePath, long startOffset, size_t size);

// A flash destination is erased first over the size rounded up to whole erase
// blocks; a regular file destination is created (0644) or truncated.
int copyToFlash(const char* sourcePath, const char* destinationPath, size_t size, unsigned copyFlags);

} // namespace Brevane
