#include "incomingframebuffer.h"
#include "logcapture.h"
#include "testframes.h"

#include <QtTest>

#include <memory>
#include <random>

namespace {

QString corruptLengthMessage(quint32 length)
{
    return QStringLiteral("Incoming frame header claims a payload of %1 bytes, more than the limit of %2; "
                          "skipped as corrupt").arg(length).arg(IncomingFrameBuffer::MaxPayloadLength);
}

enum class Action { DeleteNextReceiver, StopDelivery, ClearBuffer, FeedBuffer };

// Announces bytes it then fails to read, as a socket that fails between the two calls.
class FailingDevice : public QIODevice
{
public:
    FailingDevice() { open(QIODevice::ReadOnly | QIODevice::Unbuffered); }
    qint64 bytesAvailable() const override { return 10; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64) override { return -1; }
};

} // namespace

Q_DECLARE_METATYPE(Action)

class TestIncomingFrameBuffer : public QObject
{
    Q_OBJECT

private slots:
    void sameFramesWhateverTheSplit();
    void frames_data();
    void frames();
    void receiversActDuringDelivery_data();
    void receiversActDuringDelivery();
    void corruptLengthKeepsMemoryBounded();
    void failedReadKeepsWhatIsHeld();
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

    const auto row = [](const char* name, const QByteArray& stream, const QStringList& deliveries, int waiting,
                        const QStringList& log) { QTest::newRow(name) << stream << deliveries << waiting << log; };
    const quint32 limit = IncomingFrameBuffer::MaxPayloadLength;
    const QByteArray a = jsonFrame("A");
    row("two frames and half of a third", a + jsonFrame("B", 7) + jsonFrame("C", 40).left(30), {"r:A", "r:B"}, 30, {});
    row("three bytes of garbage", QByteArray::fromHex("FFEE00") + a, {"r:A"}, 0, {});
    // 10 13 00 followed by the frame's 10 10 00 00 00: a length of 0x10000000.
    row("garbage that swallows a header", QByteArray::fromHex("101300") + a, {"r:A"}, 0,
        {corruptLengthMessage(0x10000000)});
    row("4 GiB length", frameHeader(0x1013, 0, 0xFFFFFFFF) + a, {"r:A"}, 0, {corruptLengthMessage(0xFFFFFFFF)});
    row("one byte over the limit", frameHeader(0x1029, 0, limit + 1), {}, 7, {corruptLengthMessage(limit + 1)});
    row("at the limit waits", frameHeader(0x1029, 0, limit) + a, {}, 8 + a.size(), {});
    // Malformed JSON: only decoding would write a parse line.
    row("sub-type 1 is another key", rawFrame(0x1010, 1, QByteArray::fromHex("00000001") + "{"), {}, 0, {});
    row("wanted frame is decoded", rawFrame(0x1010, 0, QByteArray::fromHex("00000001") + "{"), {"r:"}, 0,
        {"SerialisablePacket failed to parse packet unterminated object"});
    // Measurement frames up to size bytes in all, one hiding a JSON frame that
    // must be skipped whole, the last taking up the slack before a JSON frame.
    const auto filled = [&a](int size) {
        QByteArray stream = rawFrame(0x1013, 0, jsonFrame("hidden", 970));
        while (stream.size() + 1000 + 8 + a.size() <= size)
            stream += rawFrame(0x1013, 0, QByteArray(992, '\x10'));
        return stream + rawFrame(0x1014, 0, QByteArray(size - stream.size() - 8 - a.size(), 'm')) + a;
    };
    const int most = IncomingFrameBuffer::MaxBufferedBytes;
    row("buffer at its limit", filled(most), {"r:A"}, 0, {});
    row("buffer one byte over", filled(most + 1), {"r:A"}, 0,
        {QStringLiteral("Incoming buffer size %1 Discarding raw data packets").arg(most + 1)});
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

void TestIncomingFrameBuffer::receiversActDuringDelivery_data()
{
    QTest::addColumn<Action>("action");
    QTest::addColumn<QStringList>("deliveries");
    QTest::addColumn<QByteArray>("waiting");
    QTest::addColumn<QStringList>("nextFeed");

    // The acting receiver is registered last, so it is called first.
    const auto row = [](const char* name, Action action, const QStringList& deliveries, const QByteArray& waiting,
                        const QStringList& nextFeed) {
        QTest::newRow(name) << action << deliveries << waiting << nextFeed;
    };
    const QStringList all{"acting:A", "next:A", "acting:B", "next:B", "acting:C", "next:C"};
    row("a receiver deletes the next one", Action::DeleteNextReceiver, {"acting:A", "acting:B", "acting:C"}, {}, {});
    row("a receiver stops the delivery", Action::StopDelivery, all.mid(0, 2), jsonFrame("B") + jsonFrame("C"),
        all.mid(2));
    row("a receiver clears the buffer", Action::ClearBuffer, all.mid(0, 2), {}, {});
    row("a receiver feeds the buffer", Action::FeedBuffer, all, jsonFrame("D"), {"acting:D", "next:D"});
}

void TestIncomingFrameBuffer::receiversActDuringDelivery()
{
    QFETCH(Action, action);
    QFETCH(QByteArray, waiting);
    IncomingFrameBuffer buffer;
    QStringList log;
    auto next = std::make_unique<RecordingReceiver>("next", &log);
    ActingReceiver acting(&log, [&] {
        switch (action) {
        case Action::DeleteNextReceiver:
            next.reset();
            break;
        case Action::StopDelivery:
            buffer.stopDelivery();
            break;
        case Action::ClearBuffer:
            buffer.clear();
            break;
        case Action::FeedBuffer:
            buffer.receive(jsonFrame("D"));
            break;
        }
    });

    buffer.receive(jsonFrame("A") + jsonFrame("B") + jsonFrame("C"));
    QTEST(log, "deliveries");
    QCOMPARE(buffer.bufferedBytes(), waiting);
    log.clear();
    buffer.receive(QByteArray());
    QTEST(log, "nextFeed");
    QVERIFY(buffer.bufferedBytes().isEmpty());
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

void TestIncomingFrameBuffer::failedReadKeepsWhatIsHeld()
{
    const QByteArray partHeader = frameHeader(1, 0, 4).left(3);
    IncomingFrameBuffer buffer;
    buffer.receive(partHeader);
    FailingDevice device;
    buffer.readFrom(device);
    QCOMPARE(buffer.bufferedBytes(), partHeader);
}

QTEST_GUILESS_MAIN(TestIncomingFrameBuffer)
#include "tst_incomingframebuffer.moc"
