#pragma once

#include "logserialisabledatapacket.h"

// An event of the IP receiver.
class IpRxEventPacket : public LogSerialisableDataPacket
{
public:
    static const QString CLASS_NAME;

    IpRxEventPacket();
    explicit IpRxEventPacket(const QString& className);

    QString toLogString() const override;
};
