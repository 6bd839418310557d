#include "rawdatapacket.h"

#include <QIODevice>
#include <QtEndian>

QMultiMap<unsigned int, RawDataPacketReceiverInterfaceBase*> RawDataPacketReceiverInterfaceBase::registry;

RawDataPacket::RawDataPacket(const QByteArray& frame, const RawDataPacketHeader& header)
    : m_header(header)
{
    // The caller hands over a complete frame; the bound only guards a short one.
    const int available = qMax<int>(0, frame.size() - RawDataPacketHeader::SIZE);
    const int length = int(qMin<quint64>(header.payloadLength, quint64(available)));
    m_payload = frame.mid(RawDataPacketHeader::SIZE, int(length));
}

RawDataPacket::~RawDataPacket() = default;

quint16 RawDataPacket::packetSubType() const
{
    return 0;
}

RawDataPacketHeader readHeader(const char* bytes, int size)
{
    const auto* data = reinterpret_cast<const uchar*>(bytes);
    RawDataPacketHeader header;
    header.packetType = qFromBigEndian<quint16>(data);
    header.subType = qFromBigEndian<quint16>(data + 2);
    header.payloadLength = qFromBigEndian<quint32>(data + 4);

    if (header.packetType < RawDataPacketHeader::FIRST_TYPE_ID || header.packetType > RawDataPacketHeader::LAST_TYPE_ID) {
        header.packetType = RawDataPacketHeader::INVALID;
    } else if (quint64(header.payloadLength) > quint64(size) - quint64(RawDataPacketHeader::SIZE)) {
        // In 64 bits so that 8 + payloadLength cannot wrap on 32-bit targets.
        header.packetType = RawDataPacketHeader::INCOMPLETE;
    }
    return header;
}

RawDataPacketHeader readHeader(const QByteArray& bytes)
{
    return readHeader(bytes.constData(), bytes.size());
}

QByteArray headerBytes(const RawDataPacket& packet, const QByteArray& payload)
{
    QByteArray bytes(RawDataPacketHeader::SIZE, Qt::Uninitialized);
    auto* data = reinterpret_cast<uchar*>(bytes.data());
    qToBigEndian<quint16>(packet.packetType(), data);
    qToBigEndian<quint16>(packet.packetSubType(), data + 2);
    qToBigEndian<quint32>(quint32(payload.size()), data + 4);
    return bytes;
}

void writePacket(const RawDataPacket& packet, QIODevice* device)
{
    const QByteArray payload = packet.payloadBytes();
    device->write(headerBytes(packet, payload));
    device->write(payload);
}

RawDataPacketReceiverInterfaceBase::RawDataPacketReceiverInterfaceBase(unsigned int receiverKey)
    : m_receiverKey(receiverKey)
{
    registry.insert(receiverKey, this);
}

RawDataPacketReceiverInterfaceBase::~RawDataPacketReceiverInterfaceBase()
{
    registry.remove(m_receiverKey, this);
}
