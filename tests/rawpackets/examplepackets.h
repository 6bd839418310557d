#pragma once

#include "rawdatapacket.h"

#include <QByteArray>
#include <QVector>

#include <memory>

// One packet of every measurement class, built from values that come out wrong
// when a field is dropped, swapped, narrowed or written in the wrong byte order.
struct ExamplePacket
{
    const char* className = nullptr;
    quint16 typeId = 0;
    quint16 subType = 0;
    int payloadSize = 0;
    std::shared_ptr<RawDataPacket> packet;
    // Both are of this example's class and carry the same values.
    bool (*sameValues)(const RawDataPacket& a, const RawDataPacket& b) = nullptr;
};

QVector<ExamplePacket> examplePackets();

QByteArray frameOf(quint16 typeId, const QByteArray& payload);
// Through createMeasurementPacket, as a received frame.
std::shared_ptr<RawDataPacket> decodePayload(quint16 typeId, const QByteArray& payload);
