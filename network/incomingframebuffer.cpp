#include "incomingframebuffer.h"

#include "packetfactory.h"
#include "rawdatapacket.h"
#include "serialisabledatapacket.h"
#include "vqlog.h"

#include <QIODevice>
#include <QVarLengthArray>

#include <limits>

void IncomingFrameBuffer::receive(QByteArray bytes)
{
    // Taking over the read bytes when nothing is pending avoids a copy; the
    // local must not keep a share, or shortening below would copy the rest.
    if (m_buffer.isEmpty())
        m_buffer.swap(bytes);
    else
        m_buffer.append(bytes);
    bytes = QByteArray();
    deliverBuffered();
}

void IncomingFrameBuffer::readFrom(QIODevice& device)
{
    if (m_buffer.isEmpty()) {
        m_buffer = device.readAll();
    } else {
        // Appending a readAll() result would copy every byte twice.
        const qint64 room = std::numeric_limits<int>::max() - m_buffer.size();
        const int wanted = int(qMin(device.bytesAvailable(), room));
        const int held = m_buffer.size();
        m_buffer.resize(held + wanted);
        const qint64 read = device.read(m_buffer.data() + held, wanted);
        m_buffer.resize(held + int(qMax<qint64>(read, 0)));
    }
    deliverBuffered();
}

namespace {

bool isRegistered(unsigned int key, const RawDataPacketReceiverInterfaceBase* receiver)
{
    const auto& registry = RawDataPacketReceiverInterfaceBase::registry;
    for (auto it = registry.constFind(key); it != registry.constEnd() && it.key() == key; ++it) {
        if (it.value() == receiver)
            return true;
    }
    return false;
}

} // namespace

void IncomingFrameBuffer::deliverBuffered()
{
    if (m_delivery != Delivery::Idle)
        return;
    const bool dropRaw = m_buffer.size() > MaxBufferedBytes;
    if (dropRaw)
        VqLog::warn("Incoming buffer size {} Discarding raw data packets", m_buffer.size());
    if (m_buffer.size() < RawDataPacketHeader::SIZE)
        return;

    m_delivery = Delivery::Running;
    int consumed = 0;
    {
        // A share of the bytes being walked keeps them whatever a receiver
        // does to the buffer; it is gone before the buffer is shortened,
        // which then happens in place.
        const QByteArray frames = m_buffer;
        consumed = deliverFrames(frames, dropRaw);
    }
    const bool cleared = m_delivery == Delivery::Cleared;
    m_delivery = Delivery::Idle;
    if (cleared)
        return;
    if (consumed == m_buffer.size())
        m_buffer.clear();
    else if (consumed > 0)
        m_buffer.remove(0, consumed);
}

void IncomingFrameBuffer::clear()
{
    m_buffer.clear();
    if (m_delivery != Delivery::Idle)
        m_delivery = Delivery::Cleared;
}

void IncomingFrameBuffer::stopDelivery()
{
    if (m_delivery == Delivery::Running)
        m_delivery = Delivery::Stopped;
}

int IncomingFrameBuffer::deliverFrames(const QByteArray& frames, bool dropRaw)
{
    const char* const data = frames.constData();
    const int size = frames.size();
    int offset = 0;
    bool corruptionReported = false;
    while (size - offset >= RawDataPacketHeader::SIZE) {
        const RawDataPacketHeader header = readHeader(data + offset, size - offset);
        if (header.packetType == RawDataPacketHeader::INVALID) {
            ++offset;
            continue;
        }
        if (header.payloadLength > MaxPayloadLength) {
            // Once per notification: a run of such bytes would otherwise log
            // one line per byte.
            if (!corruptionReported) {
                VqLog::error("Incoming frame header claims a payload of {} bytes, more than the limit of {}; "
                             "skipped as corrupt",
                             header.payloadLength, MaxPayloadLength);
                corruptionReported = true;
                ++m_oversizedFrames;
            }
            ++offset;
            continue;
        }
        if (header.packetType == RawDataPacketHeader::INCOMPLETE)
            break;

        // Complete and bounded by MaxPayloadLength: the sum fits in an int.
        const int frameSize = RawDataPacketHeader::SIZE + int(header.payloadLength);
        if (!dropRaw || header.packetType == SerialisableDataPacket::PACKET_TYPE) {
            const unsigned int key = header.receiverKey();
            const auto& registry = RawDataPacketReceiverInterfaceBase::registry;
            const auto first = registry.constFind(key);
            if (first != registry.constEnd()) {
                // Copied before delivery, and each one checked again before its
                // turn: receivers may come or go while others are being called.
                // Most recently registered first.
                QVarLengthArray<RawDataPacketReceiverInterfaceBase*, 4> receivers;
                for (auto it = first; it != registry.constEnd() && it.key() == key; ++it)
                    receivers.append(it.value());
                const auto packet = createPacket(QByteArray::fromRawData(data + offset, frameSize), header);
                for (RawDataPacketReceiverInterfaceBase* receiver : receivers) {
                    if (packet && isRegistered(key, receiver))
                        receiver->receivePacket(packet);
                }
            }
        }
        offset += frameSize;
        if (m_delivery != Delivery::Running)
            break;
    }
    return offset;
}
