#include "incomingframebuffer.h"

#include "packetfactory.h"
#include "rawdatapacket.h"
#include "serialisabledatapacket.h"
#include "vqlog.h"

void IncomingFrameBuffer::receive(QByteArray bytes)
{
    // Taking over the read bytes when nothing is pending avoids a copy; the
    // local must not keep a share, or shortening below would copy the rest.
    if (m_buffer.isEmpty())
        m_buffer.swap(bytes);
    else
        m_buffer.append(bytes);
    bytes = QByteArray();

    const bool dropRaw = m_buffer.size() > MaxBufferedBytes;
    if (dropRaw)
        VqLog::warn("Incoming buffer size {} Discarding raw data packets", m_buffer.size());
    if (m_buffer.size() < RawDataPacketHeader::SIZE)
        return;

    const int consumed = deliverFrames(dropRaw);
    if (consumed > 0)
        m_buffer.remove(0, consumed);
}

void IncomingFrameBuffer::clear()
{
    m_buffer.clear();
}

int IncomingFrameBuffer::deliverFrames(bool dropRaw)
{
    const char* const data = m_buffer.constData();
    const int size = m_buffer.size();
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
            if (registry.contains(key)) {
                const auto packet = createPacket(QByteArray::fromRawData(data + offset, frameSize), header);
                if (packet) {
                    // Copied before delivery: a receiver may come or go while
                    // others are being called.
                    const QList<RawDataPacketReceiverInterfaceBase*> receivers = registry.values(key);
                    for (RawDataPacketReceiverInterfaceBase* receiver : receivers)
                        receiver->receivePacket(packet);
                }
            }
        }
        offset += frameSize;
    }
    return offset;
}
