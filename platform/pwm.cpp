#include "pwm.h"
#include "deviceroot.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <unistd.h>

namespace Brevane {

namespace {

// 255 µs: a duty value 0..255 times 1000 ns maps linearly onto 0..100 %.
constexpr const char PWM_PERIOD_NS[] = "255000";
constexpr unsigned DUTY_NS_PER_STEP = 1000;

enum PwmFile { PeriodFile, DutyCycleFile, EnableFile, PwmFileCount };
const char* const PWM_FILE_NAMES[PwmFileCount] = {"pwm0/period", "pwm0/duty_cycle", "pwm0/enable"};

struct PwmOutput
{
    const char* directory;
    std::uint8_t duty;
    int fds[PwmFileCount];
};

PwmOutput g_outputs[PWM_CHIP_COUNT] = {
    {"/sys/class/pwm/pwmchip0/", 0, {-1, -1, -1}},
    {"/sys/class/pwm/pwmchip1/", 0, {-1, -1, -1}},
    {"/sys/class/pwm/pwmchip2/", 0, {-1, -1, -1}},
};

const int PROGRAMMING_ORDER[PWM_CHIP_COUNT] = {1, 0, 2};

std::mutex g_pwmMutex;

bool writeText(int fd, const char* text)
{
    const size_t length = std::strlen(text);
    return ::write(fd, text, length) == static_cast<ssize_t>(length);
}

bool exportChannel(const PwmOutput& output)
{
    const std::string path = devicePath(output.directory) + "export";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool written = writeText(fd, "0");
    ::close(fd);
    return written;
}

void program(PwmOutput& output, bool enable)
{
    for (int file = 0; file < PwmFileCount; ++file) {
        // O_TRUNC so that a shorter value never leaves digits of a longer one
        // behind in a plain file; sysfs ignores it.
        const std::string path = devicePath(output.directory) + PWM_FILE_NAMES[file];
        output.fds[file] = ::open(path.c_str(), O_RDWR | O_TRUNC | O_CLOEXEC);
        if (output.fds[file] < 0)
            std::perror(path.c_str());
    }
    char duty[16];
    std::snprintf(duty, sizeof duty, "%u", unsigned(output.duty) * DUTY_NS_PER_STEP);
    const char* values[PwmFileCount] = {PWM_PERIOD_NS, duty, "1"};
    if (!enable)
        values[PeriodFile] = values[DutyCycleFile] = values[EnableFile] = "0";
    for (int file = 0; file < PwmFileCount; ++file) {
        if (output.fds[file] >= 0 && !writeText(output.fds[file], values[file]))
            std::perror(PWM_FILE_NAMES[file]);
    }
    for (int& fd : output.fds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

} // namespace

bool programPwmOutputs(const std::uint8_t (&duties)[PWM_CHIP_COUNT], bool enable)
{
    std::lock_guard<std::mutex> lock(g_pwmMutex);
    bool exportFailed = false;
    for (int chip : PROGRAMMING_ORDER) {
        g_outputs[chip].duty = duties[chip];
        if (!exportChannel(g_outputs[chip]))
            exportFailed = true;
    }
    for (int chip : PROGRAMMING_ORDER)
        program(g_outputs[chip], enable);
    return exportFailed;
}

} // namespace Brevane
