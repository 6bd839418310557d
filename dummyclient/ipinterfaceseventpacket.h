#pragma once

#include "logserialisabledatapacket.h"

// An event of the network interfaces.
class IpInterfacesEventPacket : public LogSerialisableDataPacket
{
public:
    static const QString CLASS_NAME;

    IpInterfacesEventPacket();
    explicit IpInterfacesEventPacket(const QString& className);

    QString toLogString() const override;
};
