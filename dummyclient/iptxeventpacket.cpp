#include "iptxeventpacket.h"

const QString IpTxEventPacket::CLASS_NAME = QStringLiteral("IpTxEventPacket");

IpTxEventPacket::IpTxEventPacket()
    : LogSerialisableDataPacket(CLASS_NAME)
{
}

IpTxEventPacket::IpTxEventPacket(const QString& className)
    : LogSerialisableDataPacket(className)
{
}

QString IpTxEventPacket::toLogString() const
{
    return stringMember(QStringLiteral("Ip_Tx"));
}
