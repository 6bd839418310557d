#include "sdijitteralignmentrangeconformanceeventpacket.h"

const QString SdiJitterAlignmentRangeConformanceEventPacket::CLASS_NAME = QStringLiteral("SdiJitterTimingAlignmentOutOfRangeEventPacket");

SdiJitterAlignmentRangeConformanceEventPacket::SdiJitterAlignmentRangeConformanceEventPacket()
    : LogSerialisableDataPacket(CLASS_NAME)
{
}

SdiJitterAlignmentRangeConformanceEventPacket::SdiJitterAlignmentRangeConformanceEventPacket(const QString& className)
    : LogSerialisableDataPacket(className)
{
}

QString SdiJitterAlignmentRangeConformanceEventPacket::toLogString() const
{
    return jitterConformanceText(QStringLiteral("Alignment Jitter"), QStringLiteral("alignment_jitter_value"));
}
