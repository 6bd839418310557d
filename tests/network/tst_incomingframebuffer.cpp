#include "incomingframebuffer.h"
#include "logcapture.h"
#include "testframes.h"

#include <QtTest>

#include <random>

namespace {

const QStringList MIXED_STREAM_DELIVERIES{"r:A", "r:B", "r:C"};

QString corruptLengthMessage(quint32 length)
{
    return QStringLiteral("Incoming frame header claims a payload of %1 bytes, more than the limit of %2; "
                          "skipped as corrupt")
        .arg(length)
        .arg(IncomingFrameBuffer::MaxPayloadLength);
}

} // namespace

class TestIncomingFrameBuffer : public QObject
{
    Q_OBJECT

private slots:
    void sameFramesWhateverTheSplit();
    void twoAndAHalfFrames();
    void garbageBeforeAFrame_data();
    void garbageBeforeAFrame();
    void bufferLimit_data();
    void bufferLimit();
    void onlyWantedFramesAreDecoded_data();
    void onlyWantedFramesAreDecoded();
    void receiversMostRecentlyRegisteredFirst();
    void corruptLength_data();
    void corruptLength();
    void corruptLengthKeepsMemoryBounded();
};

void TestIncomingFrameBuffer::sameFramesWhateverTheSplit()
{
    QStringList log;
    RecordingReceiver receiver("r", &log);
    LogCapture capture;
    const QByteArray stream = mixedStream();

    auto check = [&](const QList<QByteArray>& chunks, const QByteArray& what) {
        log.clear();
        IncomingFrameBuffer buffer;
        for (const QByteArray& chunk : chunks)
            buffer.receive(chunk);
        if (log != MIXED_STREAM_DELIVERIES || !buffer.bufferedBytes().isEmpty())
            QFAIL(what + " delivered " + log.join(',').toUtf8());
    };
    for (int split = 0; split <= stream.size(); ++split)
        check({stream.left(split), stream.mid(split)}, "split at " + QByteArray::number(split));

    QList<QByteArray> bytes;
    for (char byte : stream)
        bytes.append(QByteArray(1, byte));
    check(bytes, "single bytes");

    std::mt19937 random(29440);
    for (int round = 0; round < 50; ++round) {
        QList<QByteArray> chunks;
        for (int at = 0; at < stream.size();) {
            const int size = std::uniform_int_distribution<int>(1, 200)(random);
            chunks.append(stream.mid(at, size));
            at += size;
        }
        check(chunks, "random chunks, round " + QByteArray::number(round));
    }
    QCOMPARE(capture.messages(), QStringList());
}

void TestIncomingFrameBuffer::twoAndAHalfFrames()
{
    QStringList log;
    RecordingReceiver receiver("r", &log);
    const QByteArray third = jsonFrame("C", 40);
    IncomingFrameBuffer buffer;
    buffer.receive(jsonFrame("A") + jsonFrame("B", 7) + third.left(third.size() / 2));
    QCOMPARE(log, (QStringList{"r:A", "r:B"}));
    QCOMPARE(buffer.bufferedBytes(), third.left(third.size() / 2));
    buffer.receive(third.mid(third.size() / 2));
    QCOMPARE(log, (QStringList{"r:A", "r:B", "r:C"}));
    QVERIFY(buffer.bufferedBytes().isEmpty());
}

void TestIncomingFrameBuffer::garbageBeforeAFrame_data()
{
    QTest::addColumn<QByteArray>("garbage");
    QTest::addColumn<int>("corruptHeaders");

    QTest::newRow("three bytes") << QByteArray::fromHex("FFEE00") << 0;
    QTest::newRow("invalid ids either side of the range") << QByteArray::fromHex("100F102A") << 0;
    QTest::newRow("seven zero bytes") << QByteArray(7, '\0') << 0;
    // 10 13 00 then the frame's own 10 10 00 00 00: a valid id with a huge length.
    QTest::newRow("valid id that swallows the next header") << QByteArray::fromHex("101300") << 1;
}

void TestIncomingFrameBuffer::garbageBeforeAFrame()
{
    QFETCH(QByteArray, garbage);
    QStringList log;
    RecordingReceiver receiver("r", &log);
    LogCapture capture;
    IncomingFrameBuffer buffer;
    buffer.receive(garbage + jsonFrame("A"));
    QCOMPARE(log, QStringList{"r:A"});
    QVERIFY(buffer.bufferedBytes().isEmpty());
    QTEST(capture.messages(spdlog::level::err).size(), "corruptHeaders");
}

void TestIncomingFrameBuffer::bufferLimit_data()
{
    QTest::addColumn<int>("bufferSize");
    QTest::addColumn<bool>("warned");

    QTest::newRow("exactly at the limit") << IncomingFrameBuffer::MaxBufferedBytes << false;
    QTest::newRow("one byte over the limit") << IncomingFrameBuffer::MaxBufferedBytes + 1 << true;
}

void TestIncomingFrameBuffer::bufferLimit()
{
    QFETCH(int, bufferSize);
    QFETCH(bool, warned);
    QStringList log;
    RecordingReceiver receiver("r", &log);
    LogCapture capture;

    // Measurement frames of 1000 bytes, one of them a JSON frame in disguise,
    // and a last measurement frame that takes up the slack before the JSON frame.
    const QByteArray json = jsonFrame("J");
    QByteArray stream = rawFrame(0x1013, 0, jsonFrame("hidden", 970));
    while (stream.size() + 1000 + 8 + json.size() <= bufferSize)
        stream += rawFrame(0x1013, 0, QByteArray(992, '\x10'));
    stream += rawFrame(0x1014, 0, QByteArray(bufferSize - stream.size() - 8 - json.size(), 'm')) + json;
    QCOMPARE(stream.size(), bufferSize);

    IncomingFrameBuffer buffer;
    buffer.receive(stream);
    QCOMPARE(log, QStringList{"r:J"});
    QVERIFY(buffer.bufferedBytes().isEmpty());
    const QStringList warnings = warned ? QStringList{QStringLiteral("Incoming buffer size %1 Discarding raw data packets").arg(bufferSize)}
                                        : QStringList();
    QCOMPARE(capture.messages(spdlog::level::warn), warnings);
}

void TestIncomingFrameBuffer::onlyWantedFramesAreDecoded_data()
{
    QTest::addColumn<bool>("receiver");
    QTest::addColumn<int>("subType");
    QTest::addColumn<QStringList>("deliveries");

    QTest::newRow("receiver of the key decodes") << true << 0 << QStringList{"r:"};
    QTest::newRow("no receiver at all") << false << 0 << QStringList();
    QTest::newRow("sub-type 1 is another key") << true << 1 << QStringList();
}

void TestIncomingFrameBuffer::onlyWantedFramesAreDecoded()
{
    QFETCH(bool, receiver);
    QFETCH(int, subType);
    QFETCH(QStringList, deliveries);
    QStringList log;
    std::unique_ptr<RecordingReceiver> recorder;
    if (receiver)
        recorder = std::make_unique<RecordingReceiver>("r", &log);
    LogCapture capture;

    // Malformed JSON: decoding it is what would write the parse line.
    IncomingFrameBuffer buffer;
    buffer.receive(rawFrame(0x1010, quint16(subType), QByteArray::fromHex("00000001") + "{"));
    QCOMPARE(log, deliveries);
    QCOMPARE(capture.countStartingWith("SerialisablePacket failed to parse packet"), deliveries.size());
    QVERIFY(buffer.bufferedBytes().isEmpty());
}

void TestIncomingFrameBuffer::receiversMostRecentlyRegisteredFirst()
{
    QStringList log;
    RecordingReceiver first("first", &log);
    RecordingReceiver second("second", &log);
    RecordingReceiver otherKey("other", &log, 0x11010);
    IncomingFrameBuffer buffer;
    buffer.receive(jsonFrame("A") + rawFrame(0x1010, 1, jsonFrame("B").mid(8)));
    QCOMPARE(log, (QStringList{"second:A", "first:A", "other:B"}));
}

void TestIncomingFrameBuffer::corruptLength_data()
{
    QTest::addColumn<quint32>("length");
    QTest::addColumn<bool>("corrupt");

    QTest::newRow("4 GiB") << 0xFFFFFFFFu << true;
    QTest::newRow("one byte over the limit") << IncomingFrameBuffer::MaxPayloadLength + 1 << true;
    QTest::newRow("at the limit waits for the payload") << IncomingFrameBuffer::MaxPayloadLength << false;
    QTest::newRow("ordinary length waits for the payload") << 5000u << false;
}

void TestIncomingFrameBuffer::corruptLength()
{
    QFETCH(quint32, length);
    QFETCH(bool, corrupt);
    QStringList log;
    RecordingReceiver receiver("r", &log);
    LogCapture capture;

    const QByteArray stream = frameHeader(0x1013, 0, length) + jsonFrame("A") + jsonFrame("B");
    IncomingFrameBuffer buffer;
    buffer.receive(stream);
    QCOMPARE(log, (corrupt ? QStringList{"r:A", "r:B"} : QStringList()));
    QCOMPARE(buffer.bufferedBytes(), corrupt ? QByteArray() : stream);
    QCOMPARE(capture.messages(spdlog::level::err),
             (corrupt ? QStringList{corruptLengthMessage(length)} : QStringList()));
}

void TestIncomingFrameBuffer::corruptLengthKeepsMemoryBounded()
{
    QStringList log;
    RecordingReceiver receiver("r", &log);
    LogCapture capture;
    IncomingFrameBuffer buffer;

    // Every position of a run of 0x10 bytes reads as a 0x1010 header with a
    // payload of 0x10101010 bytes.
    const QByteArray filler(64 * 1024, '\x10');
    const int notifications = 32;
    for (int chunk = 0; chunk < notifications; ++chunk) {
        buffer.receive(filler);
        QVERIFY(buffer.bufferedBytes().size() < RawDataPacketHeader::SIZE);
    }
    buffer.receive(QByteArray(8, '\0') + jsonFrame("after"));
    QCOMPARE(log, QStringList{"r:after"});
    QCOMPARE(capture.messages(spdlog::level::err).size(), notifications + 1);
    QCOMPARE(capture.messages(spdlog::level::err).first(), corruptLengthMessage(0x10101010));
}

QTEST_GUILESS_MAIN(TestIncomingFrameBuffer)
#include "tst_incomingframebuffer.moc"
