#pragma once

#include "logserialisabledatapacket.h"

// An SFP module event.
class SfpEventPacket : public LogSerialisableDataPacket
{
public:
    static const QString CLASS_NAME;

    SfpEventPacket();
    explicit SfpEventPacket(const QString& className);

    QString toLogString() const override;
};
