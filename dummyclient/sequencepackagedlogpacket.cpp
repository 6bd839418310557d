#include "sequencepackagedlogpacket.h"

namespace {
const QString LOG_PACKET_KEY = QStringLiteral("logPacket");
}

const QString SequencePackagedLogPacket::CLASS_NAME = QStringLiteral("SequencePackagedLogPacket");

SequencePackagedLogPacket::SequencePackagedLogPacket()
    : SerialisableDataPacket(CLASS_NAME)
{
}

SequencePackagedLogPacket::SequencePackagedLogPacket(const SerialisableDataPacket& received)
    : SequencePackagedLogPacket()
{
    if (received.className() == CLASS_NAME)
        jsonObject() = received.jsonObject();
}

void SequencePackagedLogPacket::setLogPacket(const SerialisableDataPacket& event)
{
    insertPacket(LOG_PACKET_KEY, event);
}

SerialisableDataPacket SequencePackagedLogPacket::logPacket(bool* ok) const
{
    return extractPacket(*this, LOG_PACKET_KEY, ok);
}
