#pragma once

#include "logserialisabledatapacket.h"

// A PTP event.
class PtpEventPacket : public LogSerialisableDataPacket
{
public:
    static const QString CLASS_NAME;

    PtpEventPacket();
    explicit PtpEventPacket(const QString& className);
    PtpEventPacket(const QString& text, const QDateTime& when);

    QString toLogString() const override;
};
