#pragma once

#include "logserialisabledatapacket.h"

// Timing jitter leaving or re-entering its limits. On the wire its "Class" is "SdiJitterTimingTimingOutOfRangeEventPacket".
class SdiJitterTimingRangeConformanceEventPacket : public LogSerialisableDataPacket
{
public:
    static const QString CLASS_NAME;

    SdiJitterTimingRangeConformanceEventPacket();
    explicit SdiJitterTimingRangeConformanceEventPacket(const QString& className);

    QString toLogString() const override;
};
