#pragma once

#include <QByteArray>
#include <QMultiMap>

#include <cstdint>
#include <memory>

class QIODevice;

// Frame on the wire: 8-byte big-endian header (type id, sub-type, payload
// length) followed by the payload. Valid type ids are 0x1010 to 0x1029.
struct RawDataPacketHeader
{
    // readHeader() reports these in packetType instead of a type id.
    static constexpr quint16 INVALID = 0;
    static constexpr quint16 INCOMPLETE = 1;

    static constexpr quint16 FIRST_TYPE_ID = 0x1010;
    static constexpr quint16 LAST_TYPE_ID = 0x1029;
    static constexpr int SIZE = 8;

    quint16 packetType = 0;
    quint16 subType = 0;
    quint32 payloadLength = 0;

    quint32 receiverKey() const { return quint32(packetType) + 65536u * quint32(subType); }
};

// Base of every packet. A received packet keeps its header word, length and a
// copy of its payload bytes; the payload decoders of the subclasses read from
// payload(). A packet built locally has a zero header and empty payload, and
// writes what payloadBytes() builds.
class RawDataPacket
{
public:
    RawDataPacket() = default;
    // frame starts at the first header byte and holds at least the whole frame.
    RawDataPacket(const QByteArray& frame, const RawDataPacketHeader& header);
    virtual ~RawDataPacket();

    virtual QByteArray payloadBytes() const = 0;
    virtual quint16 packetType() const = 0;
    virtual quint16 packetSubType() const;

    RawDataPacketHeader header() const { return m_header; }
    const QByteArray& payload() const { return m_payload; }

protected:
    RawDataPacket(const RawDataPacket&) = default;
    RawDataPacket& operator=(const RawDataPacket&) = default;

private:
    RawDataPacketHeader m_header;
    QByteArray m_payload;
};

// Reads the header at the start of bytes and classifies it: packetType INVALID
// for an unknown type id, INCOMPLETE when the payload (or, for fewer than 8
// bytes, the header itself) has not fully arrived, else the header as read.
RawDataPacketHeader readHeader(const char* bytes, int size);
RawDataPacketHeader readHeader(const QByteArray& bytes);

// The 8 header bytes for packet with this payload, from the class's own type
// id and sub-type, never from a stored received header.
QByteArray headerBytes(const RawDataPacket& packet, const QByteArray& payload);

// Writes one whole frame: header, then payload, as two writes.
void writePacket(const RawDataPacket& packet, QIODevice* device);

// A receiver of frames by key (type id + 65536 * sub-type). Receivers enter the
// process-wide registry when constructed and leave it when destroyed; the
// registry does not own them.
class RawDataPacketReceiverInterfaceBase
{
public:
    explicit RawDataPacketReceiverInterfaceBase(unsigned int receiverKey);
    virtual ~RawDataPacketReceiverInterfaceBase();
    RawDataPacketReceiverInterfaceBase(const RawDataPacketReceiverInterfaceBase&) = delete;
    RawDataPacketReceiverInterfaceBase& operator=(const RawDataPacketReceiverInterfaceBase&) = delete;

    virtual void receivePacket(std::shared_ptr<RawDataPacket> packet) = 0;

    unsigned int receiverKey() const { return m_receiverKey; }

    // Most recently registered receiver first for each key (QMultiMap::values).
    static QMultiMap<unsigned int, RawDataPacketReceiverInterfaceBase*> registry;

private:
    unsigned int m_receiverKey;
};

// A receiver of one packet class; packets of another class arrive as an empty
// pointer, which the receiver ignores.
template <typename T>
class RawDataPacketReceiverInterface : public RawDataPacketReceiverInterfaceBase
{
public:
    using RawDataPacketReceiverInterfaceBase::RawDataPacketReceiverInterfaceBase;

    void receivePacket(std::shared_ptr<RawDataPacket> packet) override
    {
        receiveTypedPacket(std::dynamic_pointer_cast<T>(packet));
    }

    virtual void receiveTypedPacket(std::shared_ptr<T> packet) = 0;
};
