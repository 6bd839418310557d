#include "sdiinputvideostandardchangeeventpacket.h"

const QString SdiInputVideoStandardChangeEventPacket::CLASS_NAME = QStringLiteral("SdiInputVideoStandardChangeEventPacket");

SdiInputVideoStandardChangeEventPacket::SdiInputVideoStandardChangeEventPacket()
    : LogSerialisableDataPacket(CLASS_NAME)
{
}

SdiInputVideoStandardChangeEventPacket::SdiInputVideoStandardChangeEventPacket(const QString& className)
    : LogSerialisableDataPacket(className)
{
}

QString SdiInputVideoStandardChangeEventPacket::toLogString() const
{
    return QStringLiteral("New SDI video standard ") + stringMember(QStringLiteral("standard"));
}
