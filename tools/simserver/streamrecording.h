#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

// A byte stream as one connection was sent it, with the time of each piece:
// what vq_simserver --record writes and --replay sends. Text form, one piece
// per line:
//
//   VQREC 1
//   # comments and blank lines are ignored
//   <seconds since the connection was accepted, up to 6 decimals> <bytes in hex>
//   <seconds> close      (last line, if the server closed the connection)
//
// Content that does not start with the "VQREC 1" line is a raw byte stream
// (a fuzzer input, for example): one piece at time 0. This class holds and
// parses recordings; it does not send them anywhere.
class StreamRecording
{
public:
    static const QByteArray MAGIC_LINE;
    // The recorder splits longer writes so that lines stay readable.
    static constexpr int MAX_LINE_BYTES = 4096;

    struct Chunk
    {
        qint64 timeUs = 0;
        QByteArray bytes;
    };

    // On false, error names the line and what is wrong with it.
    bool parse(const QByteArray& contents, QString* error);
    bool load(const QString& fileName, QString* error);

    const std::vector<Chunk>& chunks() const { return m_chunks; }
    bool isRaw() const { return m_raw; }
    bool closesConnection() const { return m_closeTimeUs >= 0; }
    // Microseconds after the connection was accepted; -1 when it stayed open.
    qint64 closeTimeUs() const { return m_closeTimeUs; }
    qint64 byteCount() const;
    // Every piece in order, without the times.
    QByteArray stream() const;

    static QByteArray chunkLine(qint64 timeUs, const char* data, int size);
    static QByteArray closeLine(qint64 timeUs);

private:
    std::vector<Chunk> m_chunks;
    qint64 m_closeTimeUs = -1;
    bool m_raw = false;
};
