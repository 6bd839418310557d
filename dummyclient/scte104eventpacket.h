#pragma once

#include "logserialisabledatapacket.h"

// An SCTE-104 message event.
class SCTE104EventPacket : public LogSerialisableDataPacket
{
public:
    static const QString CLASS_NAME;

    SCTE104EventPacket();
    explicit SCTE104EventPacket(const QString& className);

    QString toLogString() const override;
};
