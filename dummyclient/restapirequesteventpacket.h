#pragma once

#include "logserialisabledatapacket.h"

// A REST request the instrument received.
class RestApiRequestEventPacket : public LogSerialisableDataPacket
{
public:
    static const QString CLASS_NAME;

    RestApiRequestEventPacket();
    explicit RestApiRequestEventPacket(const QString& className);

    QString toLogString() const override;
};
