#include "refvsptppacket.h"

#include "payloadreader.h"
#include "payloadwriter.h"

RefVsPtpPacket::RefVsPtpPacket(const QByteArray& frame, const RawDataPacketHeader& header)
    : RawDataPacket(frame, header)
    , m_values(PayloadReader::decode<Values>(*this))
{
}

RefVsPtpPacket::RefVsPtpPacket(const Values& values)
    : m_values(values)
{
}

QByteArray RefVsPtpPacket::payloadBytes() const
{
    return PayloadWriter::serialise(m_values);
}
