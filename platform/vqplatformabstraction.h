#pragma once

// The platform abstraction on the instrument's embedded Linux, through the
// kernel's device files under the device root. It reads "/proc/brev_pcie"
// forward only, one stream opened when the object is built. It holds no
// hardware state of its own: identity caches, the watchdog descriptor and the
// PWM records belong to the process-wide layer beneath.

#include "platformabstractioninterface.h"

#include <fstream>

namespace Brevane {

constexpr quint32 INVALID_SERIAL_NUMBER = 0xFFFFFFFFu;

class VqPlatformAbstraction : public PlatformAbstractionInterface
{
public:
    VqPlatformAbstraction();

    bool setPwmOutputs(quint32 duties, bool enable) override;
    bool isHardwareIdValid(int which) override;
    int hardwareId(int which) override;
    bool readFpgaVersion(quint32* designId, quint32* major, quint32* minor, quint32* patch, quint32* build) override;
    int openWatchdog(int timeoutSeconds) override;
    int kickWatchdog() override;
    int closeWatchdog() override;
    quint32 serialNumber() override;

private:
    std::ifstream m_fpgaDriver;
};

} // namespace Brevane
