#pragma once

#include "logserialisabledatapacket.h"

// Alignment jitter leaving or re-entering its limits. On the wire its "Class" is "SdiJitterTimingAlignmentOutOfRangeEventPacket".
class SdiJitterAlignmentRangeConformanceEventPacket : public LogSerialisableDataPacket
{
public:
    static const QString CLASS_NAME;

    SdiJitterAlignmentRangeConformanceEventPacket();
    explicit SdiJitterAlignmentRangeConformanceEventPacket(const QString& className);

    QString toLogString() const override;
};
