#include "childrun.h"
#include "datacorepacket.h"
#include "eyehistogramdata.h"
#include "metersdata.h"
#include "refvsptppacket.h"
#include "streamrecording.h"
#include "teletextrawdatapacket.h"
#include "testframes.h"

#include <QtTest>

#include <numeric>

#include <unistd.h>

namespace {

constexpr quint16 SERVER_PORT = 29440;
constexpr quint16 FIRST_CLIENT_PORT = 40000;
const QString LUA_SCRIPT = QStringLiteral(VQ_DISSECTOR_PATH);
// Present in the output of any row means the dissector broke down.
const QStringList FAULT_FIELDS{"vq.dissector_fault", "_ws.lua.error", "_ws.malformed.dissector_bug"};
// Together they account for every byte of a stream: frames (by their length), garbage, corrupt headers.
const QStringList ACCOUNTED_FIELDS{"vq.length", "vq.garbage", "vq.corrupt_header"};
const QString HOST_NAME_PATH = QStringLiteral("configCoreRouter/systemController/hostName");

QByteArray jsonText(const QByteArray& text, int prefix = -1)
{
    QByteArray length(4, '\0');
    qToBigEndian<quint32>(quint32(prefix < 0 ? text.size() : prefix), reinterpret_cast<uchar*>(length.data()));
    return rawFrame(0x1010, 0, length + text);
}

// The server's bytes of one connection cut into TCP segments, and what tshark
// must show for them: "field=occurrences joined by |".
struct CraftedStream
{
    const char* name;
    std::vector<QByteArray> segments;
    QStringList expectations;
    quint16 serverPort = SERVER_PORT;
};

std::vector<CraftedStream> craftedStreams()
{
    // A client's change of the host name, as packet 7.
    const QJsonObject hostName{{"hostName", QJsonObject{{"data", "vq-1"}}}};
    const QByteArray change = frameOf(DatacorePacket(QStringLiteral("213070643350000"), 7, hostName, HOST_NAME_PATH));
    const QStringList changeFields{"vq.json.class=DatacorePacket", "vq.json.path=" + HOST_NAME_PATH,
                                   "vq.json.clientid=213070643350000", "vq.json.packetid=7", "vq.json.datacore=hostName"};
    const QByteArray sync = jsonText(R"({"Class":"ClientServerDatacoreSyncCompletePacket"})");
    const QByteArray meters = frameOf(PpmMetersData({{3, 0, 1, 1, -18.5f}, {4, 0, 1, 1, -3.25f}}, 7, 8, 9));
    const QByteArray frames = sync + meters + sync + frameOf(EyeWindowedVerticalHistogramData({5, -6, 7}));
    // As the server sent them, one segment a write.
    StreamRecording recording;
    QString error;
    recording.load(QFINDTESTDATA("data/recordings/faults.vqrec"), &error);
    std::vector<QByteArray> recorded;
    for (const StreamRecording::Chunk& chunk : recording.chunks())
        recorded.push_back(chunk.bytes);

    return {
        {"header and payload cut across segments", {change.left(3), change.mid(3, 47), change.mid(50)}, changeFields},
        {"three frames in a segment, the fourth cut", {frames.left(frames.size() - 9), frames.right(9)},
         {"vq.type=0x1010|0x1013|0x1010|0x1023"}},
        {"event carrier",
         {jsonText(R"({"Class":"SequencePackagedLogPacket","logPacket":{"Class":"SdiInputRateChangeEventPacket"}})")},
         {"vq.json.event_class=SdiInputRateChangeEventPacket"}},
        {"escaped strings", {jsonText(R"({"Class":"DatacorePacket","Path":"caf\u00e9/\"q\"\\\ud83d\ude00"})")},
         {"vq.json.path=caf\u00e9/\"q\"\\\U0001F600"}},
        {"length prefix disagrees", {jsonText(R"({"Class":"A"})", 1)}, {"vq.json.prefix_mismatch=1", "vq.json.class=A"}},
        {"malformed json", {jsonText(R"({"Class":"A",)")}, {"vq.json.malformed=1", "vq.json.class="}},
        {"class is a number", {jsonText(R"({"Class":5})")}, {"vq.json.wrong_type=1", "vq.json.no_class=1"}},
        {"float meters", {meters},
         {"vq.meters.word1=9", "vq.meters.readings.channel=3|4", "vq.meters.readings.value=-18.5|-3.25"}},
        {"teletext is not decoded", {frameOf(TeletextRawDataPacket({}))}, {"vq.not_decoded=1"}},
        {"negative list count", {rawFrame(0x1011, 0, QByteArray::fromHex("ffffffff"))},
         {"vq.bad_count=1", "vq.histogram.bins.count=-1"}},
        {"payload ends inside a field", {rawFrame(0x1027, 0, RefVsPtpPacket({-5, 6, 7}).payloadBytes().left(14))},
         {"vq.truncated=1", "vq.refvsptp.field1=-5", "vq.refvsptp.field2=6", "vq.refvsptp.field3="}},
        {"unexpected sub-type", {rawFrame(0x1013, 1, meters.mid(RawDataPacketHeader::SIZE))},
         {"vq.subtype.unexpected=1"}},
        {"found by heuristics on another port", {change}, {"vq.json.class=DatacorePacket"}, quint16(SERVER_PORT + 1)},
        {"a recorded session with garbage and a corrupt length", recorded,
         {"vq.corrupt_header=101300007ffffff0", "vq.truncated=", "vq.json.malformed="}},
    };
}

// A capture file (pcap, raw IPv4) of each stream's segments on a client port
// of its own, with consistent sequence numbers and no handshake, which is all
// tshark's reassembly needs.
QByteArray pcapOf(const std::vector<CraftedStream>& streams)
{
    QByteArray file;
    QDataStream out(&file, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint32(0xa1b2c3d4) << quint16(2) << quint16(4) << qint32(0) << quint32(0) << quint32(262144)
        << quint32(101);
    quint32 microseconds = 0;
    for (std::size_t i = 0; i < streams.size(); ++i) {
        quint32 sequence = 1000;
        for (const QByteArray& bytes : streams[i].segments) {
            QByteArray packet;
            QDataStream headers(&packet, QIODevice::WriteOnly);
            headers << quint8(0x45) << quint8(0) << quint16(40 + bytes.size()) << quint32(0) << quint8(64) << quint8(6)
                    << quint16(0) << quint32(0x7f000001) << quint32(0x7f000001) << streams[i].serverPort
                    << quint16(FIRST_CLIENT_PORT + i) << sequence << quint32(1000) << quint8(0x50) << quint8(0x18)
                    << quint16(65535) << quint32(0);
            packet += bytes;
            sequence += quint32(bytes.size());
            out << quint32(0) << (microseconds += 100) << quint32(packet.size()) << quint32(packet.size());
            out.writeRawData(packet.constData(), packet.size());
        }
    }
    return file;
}

} // namespace

// The Lua dissector under tshark: crafted streams with known contents, and a
// session that vq_simserver recorded.
class TestDissector : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void craftedStreams_data();
    void craftedStreams();

private:
    // One row per frame, one column per field; occurrences joined by '|'.
    QVector<QStringList> dissect(const QString& capture, const QStringList& fields);
    // Standard output of command, with the temporary folder as its HOME; empty when it fails.
    QByteArray run(const QStringList& command, int timeoutMs) const
    {
        const ChildRun::Result result = ChildRun::execute(command, {"HOME=" + m_dir.path()}, timeoutMs);
        return result.exitStatus == QProcess::NormalExit && result.exitCode == 0 ? result.output : QByteArray();
    }

    QTemporaryDir m_dir;
    QStringList m_tshark;
    std::vector<CraftedStream> m_streams;
    QStringList m_craftedFields;
    QHash<quint16, QVector<QStringList>> m_craftedFrames;
};

QVector<QStringList> TestDissector::dissect(const QString& capture, const QStringList& fields)
{
    QStringList command = m_tshark + QStringList{"-n", "-2", "-r", capture, "-X", "lua_script:" + LUA_SCRIPT, "-T",
                                                 "fields", "-E", "occurrence=a", "-E", "aggregator=|"};
    for (const QString& field : fields)
        command << QStringLiteral("-e") << field;
    QVector<QStringList> rows;
    // A failed run shows no frames.
    for (const QString& line : QString::fromUtf8(run(command, 120000)).split('\n')) {
        if (!line.isEmpty())
            rows.append(line.split('\t'));
    }
    return rows;
}

void TestDissector::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("tshark")).isEmpty())
        QSKIP("tshark is not installed (Debian package tshark; scripts/bootstrap installs it)");
    QVERIFY(m_dir.isValid());
    // tshark may be run as nobody below, so its files must be readable by all.
    QFile::setPermissions(m_dir.path(), QFile::permissions(m_dir.path()) | QFile::ReadOther | QFile::ExeOther);

    // As root, tshark loads -X lua_script only where the global init.lua sets
    // run_user_scripts_when_superuser; elsewhere it is run as user nobody.
    QList<QStringList> candidates{{"tshark"}};
    if (::geteuid() == 0 && !QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        candidates.append({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "tshark"});
    for (const QStringList& candidate : candidates) {
        if (run(candidate + QStringList{"-G", "protocols", "-X", "lua_script:" + LUA_SCRIPT}, 60000)
                .contains("\tVQ\tvq\n")) {
            m_tshark = candidate;
            break;
        }
    }
    if (m_tshark.isEmpty())
        QSKIP("tshark does not load the Lua dissector (no Lua support, or root without user scripts and no setpriv)");

    // Every crafted stream on its own client port, all dissected in one run.
    m_streams = ::craftedStreams();
    m_craftedFields = QStringList{"tcp.dstport"} + ACCOUNTED_FIELDS + FAULT_FIELDS;
    for (const CraftedStream& stream : m_streams) {
        for (const QString& expectation : stream.expectations)
            m_craftedFields.append(expectation.section('=', 0, 0));
    }
    m_craftedFields.removeDuplicates();
    QFile capture(m_dir.path() + "/crafted.pcap");
    QVERIFY(capture.open(QIODevice::WriteOnly));
    capture.write(pcapOf(m_streams));
    capture.close();
    capture.setPermissions(capture.permissions() | QFile::ReadOther);
    for (const QStringList& frame : dissect(capture.fileName(), m_craftedFields))
        m_craftedFrames[quint16(frame.first().toUInt())].append(frame);
    QVERIFY(!m_craftedFrames.isEmpty());
}

void TestDissector::craftedStreams_data()
{
    QTest::addColumn<int>("index");
    for (std::size_t i = 0; i < m_streams.size(); ++i)
        QTest::newRow(m_streams[i].name) << int(i);
}

void TestDissector::craftedStreams()
{
    QFETCH(int, index);
    // Values of each field over all frames of the stream, in order.
    QHash<QString, QStringList> values;
    for (const QStringList& frame : m_craftedFrames.value(quint16(FIRST_CLIENT_PORT + index))) {
        for (int column = 1; column < m_craftedFields.size(); ++column) {
            if (!frame.value(column).isEmpty())
                values[m_craftedFields.at(column)].append(frame.value(column));
        }
    }
    for (const QString& field : FAULT_FIELDS)
        QVERIFY2(values.value(field).isEmpty(), qPrintable(field));
    qint64 bytes = 0;
    for (const QString& lengths : values.value(ACCOUNTED_FIELDS.first())) {
        for (const QString& length : lengths.split('|'))
            bytes += RawDataPacketHeader::SIZE + length.toLongLong();
    }
    // Hex text: two digits a byte.
    for (const QString& field : ACCOUNTED_FIELDS.mid(1))
        bytes += values.value(field).join(QString()).remove('|').size() / 2;
    const CraftedStream& stream = m_streams[std::size_t(index)];
    QCOMPARE(bytes, std::accumulate(stream.segments.begin(), stream.segments.end(), qint64(0),
                                    [](qint64 sum, const QByteArray& segment) { return sum + segment.size(); }));
    for (const QString& expectation : stream.expectations) {
        const QString field = expectation.section('=', 0, 0);
        QCOMPARE(field + '=' + values.value(field).join('|'), expectation);
    }
}

QTEST_GUILESS_MAIN(TestDissector)
#include "tst_dissector.moc"
