#pragma once

#include "rawdatapacket.h"

#include <QVector>

#include <tuple>

// A grid of raw SDI words around a position in the picture: per row a 52-byte
// record saying where the row lies and what its timing words were, then the
// luma and chroma words of the row. Interpreting the words is not done here.
// Every field is a qint32:
//
// | field                  | wire                                         |
// |------------------------|----------------------------------------------|
// | row count n            | qint32                                       |
// | n rows, each:          |                                              |
// |   record (52 bytes)    | link, data stream, line, first sample,       |
// |                        | EAV XYZ word, SAV XYZ word, LN0, LN1,        |
// |                        | CRC Y0, CRC Y1, CRC C0, CRC C1, flags        |
// |   luma run             | qint32 count + that many words               |
// |   chroma run           | qint32 count + that many words               |
class RawSdiSampleGridPacket final : public RawDataPacket
{
public:
    static constexpr quint16 TYPE_ID = 0x1019;
    static constexpr int ROW_RECORD_SIZE = 52;

    struct Row
    {
        qint32 link = 0;
        qint32 dataStream = 0;
        qint32 line = 0;
        qint32 firstSample = 0;
        qint32 eavXyz = 0;
        qint32 savXyz = 0;
        qint32 lineNumber0 = 0;
        qint32 lineNumber1 = 0;
        qint32 crcY0 = 0;
        qint32 crcY1 = 0;
        qint32 crcC0 = 0;
        qint32 crcC1 = 0;
        qint32 flags = 0;
        QVector<qint32> luma;
        QVector<qint32> chroma;

        template <typename Self>
        static auto fields(Self& self)
        {
            return std::tie(self.link, self.dataStream, self.line, self.firstSample, self.eavXyz, self.savXyz,
                self.lineNumber0, self.lineNumber1, self.crcY0, self.crcY1, self.crcC0, self.crcC1, self.flags,
                self.luma, self.chroma);
        }
        bool operator==(const Row& other) const { return fields(*this) == fields(other); }
    };

    RawSdiSampleGridPacket(const QByteArray& frame, const RawDataPacketHeader& header);
    explicit RawSdiSampleGridPacket(QVector<Row> rows);

    QByteArray payloadBytes() const override;
    quint16 packetType() const override { return TYPE_ID; }

    const QVector<Row>& rows() const { return m_rows; }

    friend bool operator==(const RawSdiSampleGridPacket& a, const RawSdiSampleGridPacket& b)
    {
        return a.m_rows == b.m_rows;
    }

private:
    QVector<Row> m_rows;
};
