#include "payloadreader.h"

#include "vqlog.h"

PayloadReader::PayloadReader(const QByteArray& payload, quint16 packetType, int start)
    : m_data(reinterpret_cast<const uchar*>(payload.constData()))
    , m_size(payload.size())
    , m_position(start)
    , m_packetType(packetType)
{
    if (start > m_size) {
        m_position = m_size;
        m_failed = true;
    }
}

PayloadReader::ListHeader PayloadReader::beginList(int minimumElementSize)
{
    const int position = m_position;
    qint32 claimed = 0;
    read(claimed);
    return boundList(claimed, position, minimumElementSize);
}

PayloadReader::ListHeader PayloadReader::boundList(qint64 claimed, int position, int minimumElementSize)
{
    ListHeader header;
    header.claimed = claimed;
    header.position = position;
    if (!m_failed && claimed > 0)
        header.bounded = int(qMin<qint64>(claimed, remaining() / qMax(1, minimumElementSize)));
    return header;
}

void PayloadReader::endList(const ListHeader& header, int elementsRead)
{
    if (m_failed || (header.claimed >= 0 && elementsRead >= header.claimed))
        return;
    m_failed = true;
    VqLog::info("Packet type {:#06x}: count {} at byte {} of a {}-byte payload does not fit; decoding stopped",
        m_packetType, header.claimed, header.position, m_size);
}

void PayloadReader::stopTruncated()
{
    m_failed = true;
    VqLog::info("Packet type {:#06x}: payload of {} bytes ends inside the field at byte {}; decoding stopped",
        m_packetType, m_size, m_position);
}
