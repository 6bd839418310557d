#pragma once

#include "logserialisabledatapacket.h"

// A change of the reference standard. On the wire its "Class" is "ReferenceLockingStandardChangeEventPacket".
class ReferenceLockingEventPacket : public LogSerialisableDataPacket
{
public:
    static const QString CLASS_NAME;

    ReferenceLockingEventPacket();
    explicit ReferenceLockingEventPacket(const QString& className);

    QString toLogString() const override;
};
