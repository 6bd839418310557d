#pragma once

#include "wireformat.h"

#include <QByteArray>
#include <QVector>
#include <QtEndian>

#include <array>
#include <cstring>

// Builds a measurement payload in the layout PayloadReader reads. The size is
// given up front so that the bytes are allocated once. It knows no packet
// layout and does not check values against one.
class PayloadWriter
{
public:
    explicit PayloadWriter(int size) { m_bytes.reserve(size); }

    // The whole payload of a record, allocated once at its exact size.
    template <typename T>
    static QByteArray serialise(const T& record)
    {
        PayloadWriter writer(Wire::sizeOf(record));
        writer.write(record);
        return writer.bytes();
    }

    void write(bool value) { appendByte(value ? 1 : 0); }
    void write(qint8 value) { appendByte(uchar(value)); }
    void write(quint8 value) { appendByte(value); }
    void write(qint16 value) { appendBigEndian(value); }
    void write(quint16 value) { appendBigEndian(value); }
    void write(qint32 value) { appendBigEndian(value); }
    void write(quint32 value) { appendBigEndian(value); }
    void write(qint64 value) { appendBigEndian(value); }
    void write(double value)
    {
        quint64 bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        appendBigEndian(bits);
    }
    void write(float value) { write(double(value)); }

    template <typename T, std::size_t N>
    void write(const std::array<T, N>& values)
    {
        for (const T& value : values)
            write(value);
    }

    template <typename T>
    std::enable_if_t<Wire::IsRecord<T>::value> write(const T& record)
    {
        std::apply([this](const auto&... field) { (this->write(field), ...); }, T::fields(record));
    }

    template <typename T>
    void write(const QVector<T>& list)
    {
        write(qint32(list.size()));
        for (const T& element : list)
            write(element);
    }

    const QByteArray& bytes() const { return m_bytes; }

private:
    void appendByte(uchar byte) { m_bytes.append(char(byte)); }

    template <typename T>
    void appendBigEndian(T value)
    {
        uchar bytes[sizeof(T)];
        qToBigEndian(value, bytes);
        m_bytes.append(reinterpret_cast<const char*>(bytes), int(sizeof(T)));
    }

    QByteArray m_bytes;
};
