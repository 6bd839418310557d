#include "streamrecorder.h"
#include "streamrecording.h"

#include <QtTest>

class TestStreamRecording : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void recorderOutputReadsBack();
};

void TestStreamRecording::parse_data()
{
    // The chunks' times, then the stream in hex, then "close <time>" and "raw" where they apply.
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("parsed");
    QTest::addColumn<QString>("error");

    QTest::newRow("pieces, comments, blank lines, mixed line ends, equal times and a close")
        << QByteArray("VQREC 1\r\n# recorded by hand\n0.000120 1010\r\n\n0.000120 0000000D\n2.25 close\n")
        << "120 120 10100000000d close 2250000" << QString();
    QTest::newRow("frame bytes are a raw stream")
        << QByteArray::fromHex("1010000000000004000000007b7d") << "0 1010000000000004000000007b7d raw" << QString();
    QTest::newRow("empty file is an empty raw stream") << QByteArray() << " raw" << QString();

    const QString syntax = QStringLiteral("line 2: expected a time in seconds, a space, then hex bytes or close");
    const auto refused = [](const char* name, const QByteArray& contents, const QString& error) {
        QTest::newRow(name) << contents << QString() << error;
    };
    refused("odd number of hex digits", "VQREC 1\n0.1 abc\n", "line 2: bytes must be an even number of hex digits");
    refused("seven decimals", "VQREC 1\n0.0000001 00\n", syntax);
    refused("time goes backwards", "VQREC 1\n2.0 00\n1.999999 00\n", "line 3: time goes backwards");
    refused("bytes after close", "VQREC 1\n1.0 close\n2.0 00\n", "line 3: nothing may follow close");
    refused("another version", "VQREC 12\n0.1 00\n", "a recording of version 12; this program replays version 1 only");
}

void TestStreamRecording::parse()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, error);

    StreamRecording recording;
    QString message;
    QCOMPARE(recording.parse(contents, &message), error.isEmpty());
    QCOMPARE(message, error);
    QStringList parsed;
    for (const StreamRecording::Chunk& chunk : recording.chunks())
        parsed.append(QString::number(chunk.timeUs));
    parsed.append(QString::fromLatin1(recording.stream().toHex()));
    if (recording.closeTimeUs() >= 0)
        parsed << "close" << QString::number(recording.closeTimeUs());
    if (recording.isRaw() && error.isEmpty())
        parsed.append("raw");
    QTEST(parsed.join(' '), "parsed");
}

void TestStreamRecording::recorderOutputReadsBack()
{
    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("session.vqrec"));
    // Larger than one line holds, so it is split over several lines of one time.
    QByteArray large(StreamRecording::MAX_LINE_BYTES * 2 + 5, '\0');
    for (int i = 0; i < large.size(); ++i)
        large[i] = char(i * 7);
    QString error;
    StreamRecorder recorder(fileName);
    QVERIFY2(recorder.open(&error), qPrintable(error));
    recorder.record(large);
    recorder.recordClose();
    recorder.record(QByteArray("after the close"));
    StreamRecording recording;
    QVERIFY2(!recorder.isOpen() && recording.load(fileName, &error), qPrintable(error));
    QCOMPARE(recording.stream(), large);
    const auto& chunks = recording.chunks();
    QVERIFY(chunks.size() == 3 && chunks.front().timeUs == chunks.back().timeUs
            && recording.closeTimeUs() >= chunks.back().timeUs);
}

QTEST_GUILESS_MAIN(TestStreamRecording)
#include "tst_streamrecording.moc"
