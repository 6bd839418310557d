#include "audioinputpresencechangeeventpacket.h"

const QString AudioInputPresenceChangeEventPacket::CLASS_NAME = QStringLiteral("AudioInputPresenceChangeEventPacket");

AudioInputPresenceChangeEventPacket::AudioInputPresenceChangeEventPacket()
    : LogSerialisableDataPacket(CLASS_NAME)
{
}

AudioInputPresenceChangeEventPacket::AudioInputPresenceChangeEventPacket(const QString& className)
    : LogSerialisableDataPacket(className)
{
}

QString AudioInputPresenceChangeEventPacket::toLogString() const
{
    return stringMember(QStringLiteral("audio_in_presence"));
}
