#pragma once

#include "rawdatapacket.h"
#include "serialisabledatapacket.h"

#include <QBuffer>
#include <QDataStream>
#include <QJsonDocument>
#include <QStringList>

#include <functional>
#include <utility>

// Frames written by hand and by writePacket, JSON from text, and receivers
// that record what reaches them: what tests of the wire and of its users
// share.

inline QByteArray frameHeader(quint16 type, quint16 subType, quint32 payloadLength)
{
    // Big-endian, as QDataStream writes by default.
    QByteArray header;
    QDataStream(&header, QIODevice::WriteOnly) << type << subType << payloadLength;
    return header;
}

inline QByteArray rawFrame(quint16 type, quint16 subType, const QByteArray& payload)
{
    return frameHeader(type, subType, quint32(payload.size())) + payload;
}

// The frame that writePacket() writes for packet.
inline QByteArray frameOf(const RawDataPacket& packet)
{
    const QByteArray payload = packet.payloadBytes();
    return headerBytes(packet, payload) + payload;
}

// An object from JSON text; an empty one for text that is not an object.
inline QJsonObject json(const QByteArray& text)
{
    return QJsonDocument::fromJson(text).object();
}

// A JSON frame of class className, padded with a string of padding bytes.
inline QByteArray jsonFrame(const QString& className, int padding = 0)
{
    SerialisableDataPacket packet(className);
    if (padding > 0)
        packet.jsonObject().insert("Pad", QString(padding, 'p'));
    QBuffer device;
    device.open(QIODevice::WriteOnly);
    writePacket(packet, &device);
    return device.data();
}

// Garbage, JSON frames, a measurement frame that hides a JSON frame in its
// payload, and a JSON frame of sub-type 1 (another receiver key) holding
// malformed JSON: only A, B and C are for the 0x1010 receivers.
inline QByteArray mixedStream()
{
    return QByteArray::fromHex("00102A") + jsonFrame("A") + rawFrame(0x1013, 0, jsonFrame("hidden", 900))
        + jsonFrame("B", 3) + rawFrame(0x1010, 1, QByteArray::fromHex("00000002") + "{x")
        + QByteArray::fromHex("2A00") + jsonFrame("C", 300);
}

const QStringList MIXED_STREAM_DELIVERIES{"r:A", "r:B", "r:C"};

class RecordingReceiver : public RawDataPacketReceiverInterface<SerialisableDataPacket>
{
public:
    RecordingReceiver(const QString& name, QStringList* log, unsigned int key = SerialisableDataPacket::PACKET_TYPE)
        : RawDataPacketReceiverInterface<SerialisableDataPacket>(key), m_name(name), m_log(log) {}

    void receiveTypedPacket(std::shared_ptr<SerialisableDataPacket> packet) override
    {
        m_log->append(m_name + ":" + (packet ? packet->className() : QStringLiteral("null")));
    }

private:
    QString m_name;
    QStringList* m_log;
};

// A recording receiver that does something to the delivery on the first frame it gets.
class ActingReceiver : public RecordingReceiver
{
public:
    ActingReceiver(QStringList* log, std::function<void()> action)
        : RecordingReceiver("acting", log), m_action(std::move(action)) {}

    void receiveTypedPacket(std::shared_ptr<SerialisableDataPacket> packet) override
    {
        RecordingReceiver::receiveTypedPacket(packet);
        if (m_action)
            std::exchange(m_action, nullptr)();
    }

private:
    std::function<void()> m_action;
};
