#pragma once

#include "logserialisabledatapacket.h"

// A new video standard detected on the SDI input.
class SdiInputVideoStandardChangeEventPacket : public LogSerialisableDataPacket
{
public:
    static const QString CLASS_NAME;

    SdiInputVideoStandardChangeEventPacket();
    explicit SdiInputVideoStandardChangeEventPacket(const QString& className);

    QString toLogString() const override;
};
