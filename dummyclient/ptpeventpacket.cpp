#include "ptpeventpacket.h"

const QString PtpEventPacket::CLASS_NAME = QStringLiteral("PtpEventPacket");

PtpEventPacket::PtpEventPacket()
    : LogSerialisableDataPacket(CLASS_NAME)
{
}

PtpEventPacket::PtpEventPacket(const QString& className)
    : LogSerialisableDataPacket(className)
{
}

PtpEventPacket::PtpEventPacket(const QString& text, const QDateTime& when)
    : PtpEventPacket()
{
    setDateTime(when);
    jsonObject().insert(QStringLiteral("ptp_event"), text);
}

QString PtpEventPacket::toLogString() const
{
    return stringMember(QStringLiteral("ptp_event"));
}
