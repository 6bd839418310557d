#include "aeschannelstatustexts.h"
#include "audiochannelstatusdatapacket.h"
#include "measurementpacketfactory.h"

#include <QByteArray>
#include <QtEndian>

#include <cstdint>
#include <cstdlib>

// Input: one byte choosing the type id (0x1011 + byte mod 25), then the payload.
// A packet of that id is built from the payload and written back; what it
// writes must read back to the same bytes. Channel status records are also
// decoded into texts.
namespace {

constexpr quint16 FIRST_ID = 0x1011;
constexpr int ID_COUNT = RawDataPacketHeader::LAST_TYPE_ID - FIRST_ID + 1;

std::shared_ptr<RawDataPacket> decode(quint16 typeId, const QByteArray& payload)
{
    QByteArray frame(RawDataPacketHeader::SIZE, Qt::Uninitialized);
    auto* header = reinterpret_cast<uchar*>(frame.data());
    qToBigEndian<quint16>(typeId, header);
    qToBigEndian<quint16>(0, header + 2);
    qToBigEndian<quint32>(quint32(payload.size()), header + 4);
    frame += payload;
    return createMeasurementPacket(frame, readHeader(frame));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 1 << 20)
        return 0;
    const auto typeId = quint16(FIRST_ID + data[0] % ID_COUNT);
    const QByteArray payload(reinterpret_cast<const char*>(data + 1), int(size - 1));

    const std::shared_ptr<RawDataPacket> packet = decode(typeId, payload);
    if (!packet || packet->packetType() != typeId)
        std::abort();
    const QByteArray written = packet->payloadBytes();
    if (decode(typeId, written)->payloadBytes() != written)
        std::abort();

    if (const auto* status = dynamic_cast<const AudioChannelStatusDataPacket*>(packet.get())) {
        for (const auto& channel : status->values().channels)
            decodeChannelStatus(AesChannelStatusInput::fromRecord(channel));
    }
    return 0;
}
