#include "ipinterfaceseventpacket.h"

const QString IpInterfacesEventPacket::CLASS_NAME = QStringLiteral("IpInterfacesEventPacket");

IpInterfacesEventPacket::IpInterfacesEventPacket()
    : LogSerialisableDataPacket(CLASS_NAME)
{
}

IpInterfacesEventPacket::IpInterfacesEventPacket(const QString& className)
    : LogSerialisableDataPacket(className)
{
}

QString IpInterfacesEventPacket::toLogString() const
{
    return stringMember(QStringLiteral("Ip_Interfaces"));
}
