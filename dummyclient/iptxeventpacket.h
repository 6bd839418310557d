#pragma once

#include "logserialisabledatapacket.h"

// An event of the IP transmitter.
class IpTxEventPacket : public LogSerialisableDataPacket
{
public:
    static const QString CLASS_NAME;

    IpTxEventPacket();
    explicit IpTxEventPacket(const QString& className);

    QString toLogString() const override;
};
