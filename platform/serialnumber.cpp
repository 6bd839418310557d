#include "serialnumber.h"
#include "deviceroot.h"
#include "flashoperations.h"
#include "mtdpartitions.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace Brevane {

const std::uint8_t UNIT_MAC_PREFIX[3] = {0x02, 0x56, 0x51};

namespace {

constexpr char MAC_KEY[] = "mac: ";
constexpr size_t MAC_KEY_LENGTH = sizeof MAC_KEY - 1;
constexpr size_t MAC_RECORD_LENGTH = MAC_KEY_LENGTH + 6;
constexpr off_t SERIAL_KEY_OFFSET = MAC_RECORD_LENGTH + 1;
constexpr char SERIAL_KEY[] = "serial: ";
constexpr size_t SERIAL_KEY_LENGTH = sizeof SERIAL_KEY - 1;
constexpr size_t SERIAL_DIGITS = 6;
constexpr size_t SERIAL_FIELD_LENGTH = SERIAL_KEY_LENGTH + SERIAL_DIGITS;

// The look-up throws when "/proc/mtd" is broken or lacks the partition; here
// that means there is no partition to open.
bool identityDevicePath(std::string* path)
{
    try {
        *path = devicePath("/dev/" + mtdDeviceName(FPGA_MTD_IDENT));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

int readSerialNumber(std::uint32_t* serial)
{
    if (!serial) {
        std::fputs("Nowhere to put serial num!\n", stderr);
        return -1;
    }
    std::string path;
    const int fd = identityDevicePath(&path) ? ::open(path.c_str(), O_RDONLY | O_CLOEXEC) : -1;
    if (fd < 0) {
        std::fputs("Failed to open mtd\n", stderr);
        return -1;
    }
    char field[SERIAL_FIELD_LENGTH + 1] = {};
    int result = -1;
    if (::lseek(fd, SERIAL_KEY_OFFSET, SEEK_SET) != SERIAL_KEY_OFFSET)
        std::fputs("Cannot seek\n", stderr);
    else if (::read(fd, field, SERIAL_FIELD_LENGTH) != ssize_t(SERIAL_FIELD_LENGTH))
        std::fputs("Cannot read\n", stderr);
    else if (std::memcmp(field, SERIAL_KEY, SERIAL_KEY_LENGTH) != 0)
        std::fputs("Cannot find serial key\n", stderr);
    else {
        *serial = std::uint32_t(std::strtoul(field + SERIAL_KEY_LENGTH, nullptr, 10));
        result = 0;
    }
    ::close(fd);
    return result;
}

int writeSerialNumber(std::uint32_t serial)
{
    const std::string staging = devicePath("/var/volatile/tmps");
    const int fd = ::open(staging.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_SYNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        std::perror(staging.c_str());
        return -1;
    }
    // Built by position: MAC bytes may be zero, so no string formatting for them.
    char record[MAC_RECORD_LENGTH + 32];
    std::memcpy(record, MAC_KEY, MAC_KEY_LENGTH);
    std::memcpy(record + MAC_KEY_LENGTH, UNIT_MAC_PREFIX, sizeof UNIT_MAC_PREFIX);
    record[MAC_KEY_LENGTH + 3] = char((serial >> 16) & 0xFF);
    record[MAC_KEY_LENGTH + 4] = char((serial >> 8) & 0xFF);
    record[MAC_KEY_LENGTH + 5] = char(serial & 0xFF);
    const int length = int(MAC_RECORD_LENGTH)
        + std::snprintf(record + MAC_RECORD_LENGTH, sizeof record - MAC_RECORD_LENGTH, "\n%s%06u", SERIAL_KEY, serial);
    const bool written = ::write(fd, record, size_t(length)) == ssize_t(length);
    ::close(fd);

    std::string device;
    if (!written || !identityDevicePath(&device) || copyToFlash(staging.c_str(), device.c_str(), size_t(length), 0) != FLASH_OK)
        return -1;
    const std::string command = "'" + devicePath("/sbin/fw_setenv") + "' runlevel 4";
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "%s failed\n", command.c_str());
    return 0;
}

} // namespace Brevane
