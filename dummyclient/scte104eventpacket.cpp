#include "scte104eventpacket.h"

const QString SCTE104EventPacket::CLASS_NAME = QStringLiteral("SCTE104EventPacket");

SCTE104EventPacket::SCTE104EventPacket()
    : LogSerialisableDataPacket(CLASS_NAME)
{
}

SCTE104EventPacket::SCTE104EventPacket(const QString& className)
    : LogSerialisableDataPacket(className)
{
}

QString SCTE104EventPacket::toLogString() const
{
    return stringMember(QStringLiteral("SCTE104"));
}
