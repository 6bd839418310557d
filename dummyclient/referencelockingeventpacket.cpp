#include "referencelockingeventpacket.h"

const QString ReferenceLockingEventPacket::CLASS_NAME = QStringLiteral("ReferenceLockingStandardChangeEventPacket");

ReferenceLockingEventPacket::ReferenceLockingEventPacket()
    : LogSerialisableDataPacket(CLASS_NAME)
{
}

ReferenceLockingEventPacket::ReferenceLockingEventPacket(const QString& className)
    : LogSerialisableDataPacket(className)
{
}

QString ReferenceLockingEventPacket::toLogString() const
{
    return stringMember(QStringLiteral("reference_standard"));
}
