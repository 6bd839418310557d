#include "vqplatformabstraction.h"
#include "deviceroot.h"
#include "gpio.h"
#include "pwm.h"
#include "serialnumber.h"
#include "watchdog.h"

#include <cstdio>
#include <string>

namespace Brevane {

namespace {

constexpr int STRAP_IDENTITIES_OFFERED = 3;

} // namespace

VqPlatformAbstraction::VqPlatformAbstraction()
    : m_fpgaDriver(devicePath("/proc/brev_pcie"))
{
}

bool VqPlatformAbstraction::setPwmOutputs(quint32 duties, bool enable)
{
    const std::uint8_t perChip[PWM_CHIP_COUNT] = {
        std::uint8_t(duties >> 8), std::uint8_t(duties >> 16), std::uint8_t(duties)};
    return programPwmOutputs(perChip, enable);
}

bool VqPlatformAbstraction::isHardwareIdValid(int which)
{
    return hardwareId(which) >= 0;
}

int VqPlatformAbstraction::hardwareId(int which)
{
    if (which < 0 || which >= STRAP_IDENTITIES_OFFERED)
        return -1;
    return readHardwareIdentity(which);
}

bool VqPlatformAbstraction::readFpgaVersion(quint32* designId, quint32* major, quint32* minor, quint32* patch,
                                            quint32* build)
{
    std::string line;
    if (std::getline(m_fpgaDriver, line)) {
        unsigned version[4] = {};
        quint32* outputs[4] = {major, minor, patch, build};
        const int matched = std::sscanf(line.c_str(), "fpga_version: %u.%u.%u+%u", &version[0], &version[1],
                                        &version[2], &version[3]);
        for (int field = 0; field < matched; ++field) {
            if (outputs[field])
                *outputs[field] = version[field];
        }
    }
    if (std::getline(m_fpgaDriver, line)) {
        unsigned design = 0;
        if (std::sscanf(line.c_str(), "fpga_design_id: %u", &design) == 1 && designId)
            *designId = design;
    }
    return true;
}

int VqPlatformAbstraction::openWatchdog(int timeoutSeconds)
{
    return Brevane::openWatchdog(timeoutSeconds);
}

int VqPlatformAbstraction::kickWatchdog()
{
    return Brevane::kickWatchdog();
}

int VqPlatformAbstraction::closeWatchdog()
{
    return Brevane::closeWatchdog();
}

quint32 VqPlatformAbstraction::serialNumber()
{
    std::uint32_t serial = 0;
    return readSerialNumber(&serial) == 0 ? serial : INVALID_SERIAL_NUMBER;
}

} // namespace Brevane
