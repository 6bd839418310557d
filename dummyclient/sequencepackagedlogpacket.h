#pragma once

#include "serialisabledatapacket.h"

// The carrier of one event packet: a JSON packet of class
// "SequencePackagedLogPacket" whose "logPacket" member is the whole serialised
// event packet.
class SequencePackagedLogPacket : public SerialisableDataPacket
{
public:
    static const QString CLASS_NAME;

    SequencePackagedLogPacket();
    // Only a received packet of class "SequencePackagedLogPacket" is taken
    // over; any other leaves the carrier empty.
    explicit SequencePackagedLogPacket(const SerialisableDataPacket& received);

    void setLogPacket(const SerialisableDataPacket& event);
    // The embedded event; ok is false unless it is an object with a non-empty "Class".
    SerialisableDataPacket logPacket(bool* ok) const;
};
