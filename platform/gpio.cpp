#include "gpio.h"
#include "deviceroot.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace Brevane {

namespace {

constexpr int IDENTITY_COUNT = 4;
constexpr int MAX_STRAP_BITS = 7;
// The value file holds "0\n" or "1\n"; more than this is not a GPIO value.
constexpr int MAX_VALUE_BYTES = 9;

struct StrapLines
{
    int bitCount;
    unsigned lines[MAX_STRAP_BITS];
};

const StrapLines STRAPS[IDENTITY_COUNT] = {
    {7, {127, 126, 125, 124, 123, 122, 121}},
    {5, {508, 507, 506, 505, 504}},
    {7, {502, 501, 500, 499, 498, 497, 496}},
    {4, {113, 116, 115, 114}},
};

struct CachedIdentity
{
    bool valid = false;
    unsigned generation = 0;
    int value = -1;
};

CachedIdentity g_identities[IDENTITY_COUNT];

} // namespace

int readGpioLine(unsigned line)
{
    const std::string path = devicePath("/sys/class/gpio/gpio") + std::to_string(line) + "/value";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::perror(path.c_str());
        return -1;
    }
    char value[MAX_VALUE_BYTES + 1] = {};
    const ssize_t got = ::read(fd, value, MAX_VALUE_BYTES);
    const int savedErrno = errno;
    ::close(fd);
    if (got <= 0) {
        errno = got == 0 ? ENODATA : savedErrno;
        std::perror(path.c_str());
        return -1;
    }
    return std::strtol(value, nullptr, 10) != 0 ? 1 : 0;
}

int readHardwareIdentity(int which)
{
    if (which < 0 || which >= IDENTITY_COUNT)
        return -1;
    CachedIdentity& cached = g_identities[which];
    if (cached.valid && cached.generation == deviceRootGeneration())
        return cached.value;

    const StrapLines& straps = STRAPS[which];
    int value = 0;
    for (int bit = 0; bit < straps.bitCount; ++bit) {
        const int level = readGpioLine(straps.lines[bit]);
        if (level < 0)
            return -1;
        value = (value << 1) | level;
    }
    cached.valid = true;
    cached.generation = deviceRootGeneration();
    cached.value = value;
    return value;
}

int readBoardClass()
{
    const int mainBoard = readHardwareIdentity(0);
    if (mainBoard < 0)
        return 2;
    return mainBoard > 63 ? 1 : 0;
}

} // namespace Brevane
