#pragma once

#include "logserialisabledatapacket.h"

// A change of the audio inputs present.
class AudioInputPresenceChangeEventPacket : public LogSerialisableDataPacket
{
public:
    static const QString CLASS_NAME;

    AudioInputPresenceChangeEventPacket();
    explicit AudioInputPresenceChangeEventPacket(const QString& className);

    QString toLogString() const override;
};
