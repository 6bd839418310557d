#include "iprxeventpacket.h"

const QString IpRxEventPacket::CLASS_NAME = QStringLiteral("IpRxEventPacket");

IpRxEventPacket::IpRxEventPacket()
    : LogSerialisableDataPacket(CLASS_NAME)
{
}

IpRxEventPacket::IpRxEventPacket(const QString& className)
    : LogSerialisableDataPacket(className)
{
}

QString IpRxEventPacket::toLogString() const
{
    return stringMember(QStringLiteral("Ip_Rx"));
}
