#pragma once

// How the instrument's software reaches its hardware: PWM outputs, identity
// straps, FPGA version, watchdog and serial number. Implementations decide how
// the devices are reached; callers own the instance.

#include <QtGlobal>

namespace Brevane {

class PlatformAbstractionInterface
{
public:
    virtual ~PlatformAbstractionInterface() = default;

    // Byte 0 of duties drives pwmchip2, byte 1 pwmchip0, byte 2 pwmchip1.
    // True when exporting any output failed.
    virtual bool setPwmOutputs(quint32 duties, bool enable) = 0;
    virtual bool isHardwareIdValid(int which) = 0;
    // Identity 0 (main board), 1 (mezzanine) or 2 (front panel); -1 otherwise
    // or when it cannot be read.
    virtual int hardwareId(int which) = 0;
    // A field whose line cannot be read keeps the caller's value.
    virtual bool readFpgaVersion(quint32* designId, quint32* major, quint32* minor, quint32* patch,
                                 quint32* build) = 0;
    virtual int openWatchdog(int timeoutSeconds) = 0;
    virtual int kickWatchdog() = 0;
    virtual int closeWatchdog() = 0;
    // 0xFFFFFFFF when it cannot be read.
    virtual quint32 serialNumber() = 0;
};

} // namespace Brevane
