#pragma once

#include "rawdatapacket.h"

// Base of the eye-pattern and jitter measurements of the SDI inputs. It holds
// nothing of its own; it only groups those packets so that a receiver can take
// any of them.
class EyeDataPacket : public RawDataPacket
{
protected:
    EyeDataPacket() = default;
    EyeDataPacket(const QByteArray& frame, const RawDataPacketHeader& header)
        : RawDataPacket(frame, header)
    {
    }
};
