#pragma once

#include <QByteArray>

class QIODevice;

// The bytes a connection has received but not yet consumed, and the framing
// loop over them: it cuts frames in place, builds a packet only for frames
// that some registered receiver wants and hands it to those receivers. It
// never touches a socket; the connection feeds it whatever it read.
//
// Receivers may do anything while they are called: come or go (one that
// leaves before its turn is not called), stop the delivery, clear the buffer
// or feed it. Bytes fed from inside a receiver wait for the next feed.
class IncomingFrameBuffer
{
public:
    // Above this many buffered bytes, only JSON frames are still delivered.
    static constexpr int MaxBufferedBytes = 131072;
    // No real packet comes near this; a header claiming more is corrupt and is
    // skipped like garbage, so the buffer never waits for such a payload.
    static constexpr quint32 MaxPayloadLength = 16u * 1024u * 1024u;

    // Adds bytes behind what is buffered and delivers every complete frame.
    void receive(QByteArray bytes);
    // The same with everything device has available, read straight into
    // the buffer.
    void readFrom(QIODevice& device);
    // Empties the buffer. Inside a delivery, the frame being delivered still
    // reaches its other receivers; the frames after it are dropped.
    void clear();
    // Ends a delivery under way once the frame being delivered has reached
    // its receivers; the frames after it stay buffered. Outside a delivery,
    // nothing.
    void stopDelivery();

    // What is left over: an incomplete frame, or fewer than 8 bytes.
    const QByteArray& bufferedBytes() const { return m_buffer; }
    // Deliveries that skipped a header claiming more than MaxPayloadLength.
    int oversizedFrames() const { return m_oversizedFrames; }

private:
    enum class Delivery { Idle, Running, Stopped, Cleared };

    void deliverBuffered();
    int deliverFrames(const QByteArray& frames, bool dropRaw);

    QByteArray m_buffer;
    Delivery m_delivery = Delivery::Idle;
    int m_oversizedFrames = 0;
};
