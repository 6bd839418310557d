#pragma once

#include "logserialisabledatapacket.h"

// A new signal rate on one of the SDI inputs.
class SdiInputRateChangeEventPacket : public LogSerialisableDataPacket
{
public:
    static const QString CLASS_NAME;

    SdiInputRateChangeEventPacket();
    explicit SdiInputRateChangeEventPacket(const QString& className);

    QString toLogString() const override;

private:
    QString channelName() const;
    QString rateName() const;
};
