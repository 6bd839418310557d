#pragma once

#include <QByteArray>

class QIODevice;

// The bytes a connection has received but not yet consumed, and the framing
// loop over them: it cuts frames in place, builds a packet only for frames
// that some registered receiver wants and hands it to those receivers. It
// never touches a socket; the connection feeds it whatever it read. Receivers
// are called while the buffer is being walked and must not clear it.
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
    void clear();

    // What is left over: an incomplete frame, or fewer than 8 bytes.
    const QByteArray& bufferedBytes() const { return m_buffer; }

private:
    void deliverBuffered();
    int deliverFrames(bool dropRaw);

    QByteArray m_buffer;
};
