#pragma once

#include "rawdatapacket.h"
#include "wireformat.h"

#include <QByteArray>
#include <QVector>
#include <QtEndian>

#include <array>
#include <cstring>
#include <limits>

// Reads the fields of a measurement payload in wire order (big-endian, float
// and double as 8-byte doubles, bool as one byte, lists as a qint32 count and
// the elements).
//
// Every decoder treats a short or lying payload the same way: the fields are
// read in order until the first one that cannot be read whole, which is a field
// that does not fit in the bytes left, or a list count that is negative or
// larger than the bytes left can hold. Everything read before it keeps its
// value, the elements of a list that fit are kept, and everything after keeps
// its default (zero, empty). One info line names the packet type and the byte
// where decoding stopped. Counts are bounded by the bytes left before anything
// is reserved, so memory stays proportional to the payload size. Bytes after
// the last field are ignored.
//
// The reader never throws and never reads past the payload; it does not know
// the layout of any packet.
class PayloadReader
{
public:
    // A list whose count has been read: how many elements the count claims and
    // how many of them the bytes left can hold at most.
    struct ListHeader
    {
        qint64 claimed = 0;
        int bounded = 0;
        int position = 0;
    };

    // Starts at byte start of the payload. A start beyond the payload leaves
    // the reader silently failed: the decoder that read up to there has already
    // reported the short payload.
    PayloadReader(const QByteArray& payload, quint16 packetType, int start = 0);

    // Decodes a whole payload that is one record.
    template <typename T>
    static T decode(const RawDataPacket& packet)
    {
        T record;
        PayloadReader reader(packet.payload(), packet.header().packetType);
        reader.read(record);
        return record;
    }

    bool failed() const { return m_failed; }
    int position() const { return m_position; }
    int remaining() const { return m_size - m_position; }

    void read(bool& value)
    {
        if (const uchar* bytes = take(1))
            value = bytes[0] != 0;
    }
    void read(qint8& value)
    {
        if (const uchar* bytes = take(1))
            value = qint8(bytes[0]);
    }
    void read(quint8& value)
    {
        if (const uchar* bytes = take(1))
            value = bytes[0];
    }
    void read(qint16& value) { readBigEndian(value); }
    void read(quint16& value) { readBigEndian(value); }
    void read(qint32& value) { readBigEndian(value); }
    void read(quint32& value) { readBigEndian(value); }
    void read(qint64& value) { readBigEndian(value); }
    void read(double& value)
    {
        quint64 bits = 0;
        if (!readBigEndian(bits))
            return;
        std::memcpy(&value, &bits, sizeof value);
    }
    void read(float& value)
    {
        double wide = 0;
        read(wide);
        value = narrowToFloat(wide);
    }

    template <typename T, std::size_t N>
    void read(std::array<T, N>& values)
    {
        for (T& value : values)
            read(value);
    }

    template <typename T>
    std::enable_if_t<Wire::IsRecord<T>::value> read(T& record)
    {
        std::apply([this](auto&... field) { (this->read(field), ...); }, T::fields(record));
    }

    template <typename T>
    void read(QVector<T>& list)
    {
        const ListHeader header = beginList(Wire::MinimumSize<T>::value);
        list.clear();
        list.reserve(header.bounded);
        for (int i = 0; i < header.bounded; ++i) {
            T element{};
            read(element);
            if (m_failed)
                return;
            list.append(std::move(element));
        }
        endList(header, list.size());
    }

    // Reads a qint32 count of elements of at least minimumElementSize bytes.
    ListHeader beginList(int minimumElementSize);
    // For counts of another width, already read at position.
    ListHeader boundList(qint64 claimed, int position, int minimumElementSize);
    // Stops decoding when fewer elements were read than the count claimed.
    void endList(const ListHeader& header, int elementsRead);

    // Values beyond the float range become infinities instead of undefined behaviour.
    static float narrowToFloat(double value)
    {
        if (value > double(std::numeric_limits<float>::max()))
            return std::numeric_limits<float>::infinity();
        if (value < double(std::numeric_limits<float>::lowest()))
            return -std::numeric_limits<float>::infinity();
        return float(value);
    }

private:
    const uchar* take(int size)
    {
        if (m_failed)
            return nullptr;
        if (size > m_size - m_position) {
            stopTruncated();
            return nullptr;
        }
        const uchar* bytes = m_data + m_position;
        m_position += size;
        return bytes;
    }

    template <typename T>
    bool readBigEndian(T& value)
    {
        const uchar* bytes = take(int(sizeof(T)));
        if (!bytes)
            return false;
        value = qFromBigEndian<T>(bytes);
        return true;
    }

    void stopTruncated();

    const uchar* m_data;
    int m_size;
    int m_position;
    quint16 m_packetType;
    bool m_failed = false;
};
