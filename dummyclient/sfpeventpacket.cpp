#include "sfpeventpacket.h"

const QString SfpEventPacket::CLASS_NAME = QStringLiteral("SfpEventPacket");

SfpEventPacket::SfpEventPacket()
    : LogSerialisableDataPacket(CLASS_NAME)
{
}

SfpEventPacket::SfpEventPacket(const QString& className)
    : LogSerialisableDataPacket(className)
{
}

QString SfpEventPacket::toLogString() const
{
    return stringMember(QStringLiteral("Sfp"));
}
