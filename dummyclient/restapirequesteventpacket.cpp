#include "restapirequesteventpacket.h"

const QString RestApiRequestEventPacket::CLASS_NAME = QStringLiteral("RestApiRequestEventPacket");

RestApiRequestEventPacket::RestApiRequestEventPacket()
    : LogSerialisableDataPacket(CLASS_NAME)
{
}

RestApiRequestEventPacket::RestApiRequestEventPacket(const QString& className)
    : LogSerialisableDataPacket(className)
{
}

QString RestApiRequestEventPacket::toLogString() const
{
    return QStringLiteral("Request %1 for resource %2 received from %3")
        .arg(stringMember(QStringLiteral("rest_method")), stringMember(QStringLiteral("rest_resource")),
             stringMember(QStringLiteral("rest_address")));
}
