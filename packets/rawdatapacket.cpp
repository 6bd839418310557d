#include "rawdatapacket.h"

#include <QIODevice>
#include <QtEndian>

QMultiMap<unsigned int, RawDataPacketReceiverInterfaceBase*> RawDataPacketReceiverInterfaceBase::registry;

RawDataPacket::RawDataPacket(const QByteArray& frame, const RawDataPacketHeader& header)
    : m_header(header)
{
    // The caller hands over a complete frame; the bound only guards a short one.
    const int available = qMax(0, frame.size() - RawDataPacketHeader::SIZE);
    const int length = header.payloadLength < quint32(available) ? int(header.payloadLength) : available;
    m_payload = frame.mid(RawDataPacketHeader::SIZE, length);
}

RawDataPacket::~RawDataPacket() = default;

quint16 RawDataPacket::packetSubType() const
{
    return 0;
}

RawDataPacketHeader readHeader(const char* bytes, int size)
{
    RawDataPacketHeader header;
    // Callers promise 8 bytes; a shorter view is reported as waiting for more
    // rather than read past its end.
    if (size < RawDataPacketHeader::SIZE) {
        header.packetType = RawDataPacketHeader::INCOMPLETE;
        return header;
    }
    const auto* data = reinterpret_cast<const uchar*>(bytes);
    header.packetType = qFromBigEndian<quint16>(data);
    header.subType = qFromBigEndian<quint16>(data + 2);
    header.payloadLength = qFromBigEndian<quint32>(data + 4);

    if (header.packetType < RawDataPacketHeader::FIRST_TYPE_ID || header.packetType > RawDataPacketHeader::LAST_TYPE_ID) {
        header.packetType = RawDataPacketHeader::INVALID;
    } else if (header.payloadLength > quint32(size - RawDataPacketHeader::SIZE)) {
        // Compared against the bytes after the header so that 8 + payloadLength
        // is never formed and cannot wrap on 32-bit targets.
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
