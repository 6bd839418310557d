#include "incomingframebuffer.h"
#include "logcapture.h"
#include "testframes.h"

#include <QtTest>

#include <random>

namespace {

QString corruptLengthMessage(quint32 length)
{
    return QStringLiteral("Incoming frame header claims a payload of %1 bytes, more than the limit of %2; "
                          "skipped as corrupt").arg(length).arg(IncomingFrameBuffer::MaxPayloadLength);
}

} // namespace

class TestIncomingFrameBuffer : public QObject
{
    Q_OBJECT

private slots:
    void sameFramesWhateverTheSplit();
    void frames_data();
    void frames();
    void bufferLimit_data();
    void bufferLimit();
    void corruptLengthKeepsMemoryBounded();
};

void TestIncomingFrameBuffer::sameFramesWhateverTheSplit()
{
    QStringList log;
    RecordingReceiver receiver("r", &log);
    LogCapture capture;
    const QByteArray stream = mixedStream();
    std::mt19937 random(29440);
    // Every two-piece split, single bytes, then random chunkings.
    for (int round = 0; round <= stream.size() + 51; ++round) {
        QList<QByteArray> chunks{stream.left(round), stream.mid(round)};
        if (round > stream.size()) {
            chunks.clear();
            for (int at = 0; at < stream.size();) {
                const int size = round == stream.size() + 1 ? 1 : std::uniform_int_distribution<int>(1, 200)(random);
                chunks.append(stream.mid(at, size));
                at += size;
            }
        }
        log.clear();
        IncomingFrameBuffer buffer;
        for (const QByteArray& chunk : chunks)
            buffer.receive(chunk);
        if (log != MIXED_STREAM_DELIVERIES || !buffer.bufferedBytes().isEmpty())
            QFAIL(qPrintable(QStringLiteral("round %1 delivered %2").arg(round).arg(log.join(','))));
    }
    QCOMPARE(capture.messages(), QStringList());
}

void TestIncomingFrameBuffer::frames_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QStringList>("deliveries");
    QTest::addColumn<int>("waiting");
    QTest::addColumn<QStringList>("log");

    const QByteArray third = jsonFrame("C", 40);
    QTest::newRow("two frames and half of a third") << jsonFrame("A") + jsonFrame("B", 7) + third.left(30)
                                                    << QStringList{"r:A", "r:B"} << 30 << QStringList();
    QTest::newRow("three bytes of garbage") << QByteArray::fromHex("FFEE00") + jsonFrame("A") << QStringList{"r:A"}
                                            << 0 << QStringList();
    // 10 13 00 followed by the frame's 10 10 00 00 00: a length of 0x10000000.
    QTest::newRow("garbage that swallows a header") << QByteArray::fromHex("101300") + jsonFrame("A")
                                                    << QStringList{"r:A"} << 0
                                                    << QStringList{corruptLengthMessage(0x10000000)};
    QTest::newRow("4 GiB length") << frameHeader(0x1013, 0, 0xFFFFFFFF) + jsonFrame("A") << QStringList{"r:A"} << 0
                                  << QStringList{corruptLengthMessage(0xFFFFFFFF)};
    QTest::newRow("one byte over the limit") << frameHeader(0x1029, 0, IncomingFrameBuffer::MaxPayloadLength + 1)
                                             << QStringList() << 7
                                             << QStringList{corruptLengthMessage(IncomingFrameBuffer::MaxPayloadLength + 1)};
    QTest::newRow("at the limit waits") << frameHeader(0x1029, 0, IncomingFrameBuffer::MaxPayloadLength)
                                               + jsonFrame("A")
                                        << QStringList() << 8 + jsonFrame("A").size() << QStringList();
    // Malformed JSON: only decoding would write a parse line.
    QTest::newRow("sub-type 1 is another key") << rawFrame(0x1010, 1, QByteArray::fromHex("00000001") + "{")
                                               << QStringList() << 0 << QStringList();
    QTest::newRow("wanted frame is decoded") << rawFrame(0x1010, 0, QByteArray::fromHex("00000001") + "{")
                                             << QStringList{"r:"} << 0
                                             << QStringList{"SerialisablePacket failed to parse packet unterminated object"};
}

void TestIncomingFrameBuffer::frames()
{
    QFETCH(QByteArray, stream);
    QFETCH(int, waiting);
    QStringList log;
    RecordingReceiver receiver("r", &log);
    LogCapture capture;
    IncomingFrameBuffer buffer;
    buffer.receive(stream);
    QTEST(log, "deliveries");
    QCOMPARE(buffer.bufferedBytes(), stream.right(waiting));
    QTEST(capture.messages(), "log");
}

void TestIncomingFrameBuffer::bufferLimit_data()
{
    QTest::addColumn<int>("bufferSize");
    QTest::newRow("exactly at the limit") << IncomingFrameBuffer::MaxBufferedBytes;
    QTest::newRow("one byte over the limit") << IncomingFrameBuffer::MaxBufferedBytes + 1;
}

void TestIncomingFrameBuffer::bufferLimit()
{
    QFETCH(int, bufferSize);
    QStringList log;
    RecordingReceiver first("first", &log);
    RecordingReceiver second("second", &log);
    LogCapture capture;
    // Measurement frames, one hiding a JSON frame that must be skipped whole,
    // then a last one that takes up the slack before the JSON frame.
    const QByteArray json = jsonFrame("J");
    QByteArray stream = rawFrame(0x1013, 0, jsonFrame("hidden", 970));
    while (stream.size() + 1000 + 8 + json.size() <= bufferSize)
        stream += rawFrame(0x1013, 0, QByteArray(992, '\x10'));
    stream += rawFrame(0x1014, 0, QByteArray(bufferSize - stream.size() - 8 - json.size(), 'm')) + json;

    IncomingFrameBuffer buffer;
    buffer.receive(stream);
    QCOMPARE(log, (QStringList{"second:J", "first:J"}));
    QVERIFY(buffer.bufferedBytes().isEmpty());
    QCOMPARE(capture.messages(spdlog::level::warn).size(), bufferSize > IncomingFrameBuffer::MaxBufferedBytes);
    QCOMPARE(capture.count(spdlog::level::warn, "Incoming buffer size 131073 Discarding raw data packets"),
             bufferSize > IncomingFrameBuffer::MaxBufferedBytes);
}

void TestIncomingFrameBuffer::corruptLengthKeepsMemoryBounded()
{
    QStringList log;
    RecordingReceiver receiver("r", &log);
    LogCapture capture;
    IncomingFrameBuffer buffer;
    // Every position of a run of 0x10 bytes reads as a 0x1010 header with a
    // payload of 0x10101010 bytes: one line per notification, not per byte.
    const int notifications = 32;
    for (int chunk = 0; chunk < notifications; ++chunk) {
        buffer.receive(QByteArray(64 * 1024, '\x10'));
        QVERIFY(buffer.bufferedBytes().size() < RawDataPacketHeader::SIZE);
    }
    buffer.receive(QByteArray(8, '\0') + jsonFrame("after"));
    QCOMPARE(log, QStringList{"r:after"});
    QCOMPARE(capture.messages(spdlog::level::err).size(), notifications + 1);
    QCOMPARE(capture.messages(spdlog::level::err).first(), corruptLengthMessage(0x10101010));
}

QTEST_GUILESS_MAIN(TestIncomingFrameBuffer)
#include "tst_incomingframebuffer.moc"
