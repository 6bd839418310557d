#include "sdijittertimingrangeconformanceeventpacket.h"

const QString SdiJitterTimingRangeConformanceEventPacket::CLASS_NAME = QStringLiteral("SdiJitterTimingTimingOutOfRangeEventPacket");

SdiJitterTimingRangeConformanceEventPacket::SdiJitterTimingRangeConformanceEventPacket()
    : LogSerialisableDataPacket(CLASS_NAME)
{
}

SdiJitterTimingRangeConformanceEventPacket::SdiJitterTimingRangeConformanceEventPacket(const QString& className)
    : LogSerialisableDataPacket(className)
{
}

QString SdiJitterTimingRangeConformanceEventPacket::toLogString() const
{
    return jitterConformanceText(QStringLiteral("Timing Jitter"), QStringLiteral("timing_jitter_value"));
}
