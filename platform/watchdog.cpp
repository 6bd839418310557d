#include "watchdog.h"
#include "deviceroot.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/watchdog.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Brevane {

namespace {

int g_watchdogFd = -1;

// Only under a test root: on the instrument (root "/") a plain file is no
// watchdog, and the requests fail as they would on one.
bool isStandIn(int fd)
{
    struct stat status;
    return deviceRoot() != "/" && ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
}

int recordStandInRequest(int fd, const char* line)
{
    const size_t length = std::strlen(line);
    return ::write(fd, line, length) == static_cast<ssize_t>(length) ? 0 : -1;
}

int setTimeoutRequest(int fd, int* seconds)
{
    if (isStandIn(fd)) {
        char line[48];
        std::snprintf(line, sizeof line, "WDIOC_SETTIMEOUT %d\n", *seconds);
        return recordStandInRequest(fd, line);
    }
    return ::ioctl(fd, WDIOC_SETTIMEOUT, seconds);
}

int keepAliveRequest(int fd)
{
    if (isStandIn(fd))
        return recordStandInRequest(fd, "WDIOC_KEEPALIVE\n");
    return ::ioctl(fd, WDIOC_KEEPALIVE, 0);
}

void requireOpen()
{
    if (g_watchdogFd < 0) {
        std::fputs("Watchdog device not open\n", stderr);
        std::exit(EXIT_FAILURE);
    }
}

} // namespace

int openWatchdog(int timeoutSeconds)
{
    // Closing without the magic character leaves the watchdog armed.
    if (g_watchdogFd >= 0)
        ::close(g_watchdogFd);
    g_watchdogFd = ::open(devicePath("/dev/watchdog").c_str(), O_RDWR | O_CLOEXEC);
    if (g_watchdogFd < 0) {
        const int error = errno;
        std::fputs("Couldn't open the watchdog at /dev/watchdog: \n", stderr);
        std::fprintf(stderr, "%s\n", std::strerror(error));
        std::exit(EXIT_FAILURE);
    }
    return setTimeoutRequest(g_watchdogFd, &timeoutSeconds);
}

int kickWatchdog()
{
    requireOpen();
    return keepAliveRequest(g_watchdogFd);
}

int closeWatchdog()
{
    requireOpen();
    const int written = int(::write(g_watchdogFd, "V", 1));
    ::close(g_watchdogFd);
    g_watchdogFd = -1;
    return written;
}

} // namespace Brevane
