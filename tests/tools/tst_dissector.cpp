#include "audiochannelstatusdatapacket.h"
#include "datacorepacket.h"
#include "eyehistogramdata.h"
#include "metersdata.h"
#include "pithistogrampacket.h"
#include "rawsdijitterspectrumdatapacket.h"
#include "refvsptppacket.h"
#include "teletextrawdatapacket.h"

#include <QtEndian>
#include <QtTest>

#include <unistd.h>

namespace {

constexpr quint16 SERVER_PORT = 29440;
constexpr quint16 FIRST_CLIENT_PORT = 40000;
const QString LUA_SCRIPT = QStringLiteral(VQ_DISSECTOR_PATH);
// Present in the output of any row means the dissector broke down.
const QStringList FAULT_FIELDS{QStringLiteral("vq.dissector_fault"), QStringLiteral("_ws.lua.error"),
                               QStringLiteral("_ws.malformed.dissector_bug")};

QByteArray frameOf(const RawDataPacket& packet)
{
    const QByteArray payload = packet.payloadBytes();
    return headerBytes(packet, payload) + payload;
}

QByteArray rawFrame(quint16 type, quint16 subType, const QByteArray& payload)
{
    QByteArray header(RawDataPacketHeader::SIZE, '\0');
    auto* bytes = reinterpret_cast<uchar*>(header.data());
    qToBigEndian<quint16>(type, bytes);
    qToBigEndian<quint16>(subType, bytes + 2);
    qToBigEndian<quint32>(quint32(payload.size()), bytes + 4);
    return header + payload;
}

QByteArray jsonFrame(const QByteArray& text, int prefix = -1)
{
    QByteArray length(4, '\0');
    qToBigEndian<quint32>(quint32(prefix < 0 ? text.size() : prefix), reinterpret_cast<uchar*>(length.data()));
    return rawFrame(0x1010, 0, length + text);
}

std::vector<QByteArray> cut(const QByteArray& bytes, std::initializer_list<int> offsets)
{
    std::vector<QByteArray> pieces;
    int start = 0;
    for (const int offset : offsets) {
        pieces.push_back(bytes.mid(start, offset - start));
        start = offset;
    }
    pieces.push_back(bytes.mid(start));
    return pieces;
}

struct Segment
{
    quint16 clientPort;
    quint16 serverPort;
    QByteArray bytes;
};

// A capture file (pcap, raw IPv4) of server-to-client TCP segments with
// consistent sequence numbers and no handshake, which is all tshark's
// reassembly needs.
QByteArray pcapOf(const std::vector<Segment>& segments)
{
    constexpr quint32 LINKTYPE_RAW = 101;
    QByteArray file;
    QDataStream out(&file, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint32(0xa1b2c3d4) << quint16(2) << quint16(4) << qint32(0) << quint32(0) << quint32(262144)
        << LINKTYPE_RAW;
    QHash<quint16, quint32> nextSequence;
    quint32 microseconds = 0;
    for (const Segment& segment : segments) {
        const quint32 sequence = nextSequence.value(segment.clientPort, 1000);
        nextSequence.insert(segment.clientPort, sequence + quint32(segment.bytes.size()));
        QByteArray packet;
        QDataStream headers(&packet, QIODevice::WriteOnly);
        headers << quint8(0x45) << quint8(0) << quint16(40 + segment.bytes.size()) << quint32(0) << quint8(64)
                << quint8(6) << quint16(0) << quint32(0x7f000001) << quint32(0x7f000001);
        headers << segment.serverPort << segment.clientPort << sequence << quint32(1000) << quint8(0x50)
                << quint8(0x18) << quint16(65535) << quint32(0);
        packet += segment.bytes;
        out << quint32(0) << (microseconds += 100) << quint32(packet.size()) << quint32(packet.size());
        out.writeRawData(packet.constData(), packet.size());
    }
    return file;
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
    const QByteArray change = frameOf(DatacorePacket(QStringLiteral("213070643350000"), 7,
        QJsonObject{{"hostName", QJsonObject{{"data", "vq-1"}}}},
        QStringLiteral("configCoreRouter/systemController/hostName")));
    const QStringList changeFields{"vq.json.class=DatacorePacket",
                                   "vq.json.path=configCoreRouter/systemController/hostName",
                                   "vq.json.clientid=213070643350000", "vq.json.packetid=7", "vq.json.datacore=hostName"};
    const QByteArray sync = jsonFrame(R"({"Class":"ClientServerDatacoreSyncCompletePacket"})");
    const QByteArray histogram = frameOf(EyeWindowedVerticalHistogramData({5, -6, 7}));
    const QByteArray meters = frameOf(PpmMetersData({{3, 0, 1, 1, -18.5f}, {4, 0, 1, 1, -3.25f}}, 7, 8, 9));
    const QByteArray refVsPtpPayload = frameOf(RefVsPtpPacket({-5, 6, 7})).mid(RawDataPacketHeader::SIZE);
    const QByteArray meterWords = meters.mid(RawDataPacketHeader::SIZE, 12);

    PitHistogramPacket::Values pit;
    pit.field3 = qint64(1) << 40;
    pit.address2 = {false, 0xC0A80114};
    pit.bins[63] = 99;
    AudioChannelStatusDataPacket::ChannelRecord channel;
    channel.channelStatus = {0x01020304, 0x05060708, 0x090a0b0c, 0x0d0e0f10, 0x11121314, 0x15161718};
    channel.crccError = 1;

    return {
        {"header and payload cut over three segments", cut(change, {3, 50}), changeFields},
        {"three frames in a segment, the fourth cut", cut(sync + meters + sync + histogram, {int(sync.size() * 2 + meters.size() + 5)}),
         {"vq.type=0x1010|0x1013|0x1010|0x1023"}},
        {"event carrier",
         {jsonFrame(R"({"Class":"SequencePackagedLogPacket","logPacket":{"Class":"SdiInputRateChangeEventPacket"}})")},
         {"vq.json.event_class=SdiInputRateChangeEventPacket"}},
        {"escaped strings", {jsonFrame(R"({"Class":"DatacorePacket","Path":"caf\u00e9/\"q\"\\\ud83d\ude00"})")},
         {"vq.json.path=caf\u00e9/\"q\"\\\U0001F600"}},
        {"garbage and a corrupt length before a frame", {"abc" + QByteArray::fromHex("101300007ffffff0") + sync},
         {"vq.garbage=616263", "vq.garbage.skipped=1", "vq.corrupt_header=101300007ffffff0",
          "vq.corrupt_header.skipped=1", "vq.type=0x1010"}},
        {"one garbage byte at the end of the stream", {sync + "a"}, {"vq.garbage=61", "vq.type=0x1010"}},
        {"length prefix disagrees", {jsonFrame(R"({"Class":"A"})", 1)}, {"vq.json.prefix_mismatch=1", "vq.json.class=A"}},
        {"malformed json", {jsonFrame(R"({"Class":"A",)")}, {"vq.json.malformed=1", "vq.json.class="}},
        {"deep nesting", cut(jsonFrame(R"({"Class":"X","a":)" + QByteArray(100000, '[') + QByteArray(100000, ']') + "}"),
                             {60000, 120000, 180000}),
         {"vq.json.class=X"}},
        {"class is a number", {jsonFrame(R"({"Class":5})")}, {"vq.json.wrong_type=1", "vq.json.no_class=1"}},
        {"payload shorter than the length prefix", {rawFrame(0x1010, 0, "{}")}, {"vq.json.malformed=1"}},
        {"float meters", {meters},
         {"vq.meters.word1=9", "vq.meters.readings.channel=3|4", "vq.meters.readings.value=-18.5|-3.25"}},
        {"audio PIT histogram", {frameOf(AudioPitHistogramPacket(pit))},
         {"vq.subtype=1", "vq.subtype.unexpected=", "vq.pit.field3=1099511627776", "vq.pit.address1.null=1",
          "vq.pit.address2=192.168.1.20", "vq.pit.field8=0"}},
        {"channel status", {frameOf(AudioChannelStatusDataPacket({0, 0, {channel}, true}))},
         {"vq.chanstatus.channels.status=0102030405060708090a0b0c0d0e0f101112131415161718",
          "vq.chanstatus.channels.crccError=1", "vq.chanstatus.flag=1"}},
        {"caption pairs and a stray byte", {rawFrame(0x1026, 0, QByteArray::fromHex("c1420120800007"))},
         {"vq.captions.first_char=0x41|0x20", "vq.captions.second_char=0x42|0x00", "vq.captions.flag=1|0",
          "vq.truncated=1"}},
        {"jitter spectrum", {frameOf(RawSdiJitterSpectrumDataPacket({{1.25}, {}, {2, 3}, 4, true, 5}))},
         {"vq.jitterspectrum.series1=1.25", "vq.jitterspectrum.series2.count=0", "vq.jitterspectrum.series3=2|3",
          "vq.jitterspectrum.field5=5"}},
        {"teletext is not decoded", {frameOf(TeletextRawDataPacket({}))}, {"vq.not_decoded=1"}},
        {"meter count larger than the payload",
         {rawFrame(0x1013, 0, meterWords + QByteArray::fromHex("000003e8") + meters.mid(RawDataPacketHeader::SIZE + 16, 24))},
         {"vq.bad_count=1", "vq.meters.readings.value=-18.5"}},
        {"negative list count", {rawFrame(0x1011, 0, QByteArray::fromHex("ffffffff"))},
         {"vq.bad_count=1", "vq.histogram.bins.count=-1"}},
        {"payload ends inside a field", {rawFrame(0x1027, 0, refVsPtpPayload.left(10))},
         {"vq.truncated=1", "vq.refvsptp.field1=-5", "vq.refvsptp.field2="}},
        {"bytes after the last field", {rawFrame(0x1027, 0, refVsPtpPayload + "xy")}, {"vq.trailing=1"}},
        {"unexpected sub-type", {rawFrame(0x1013, 1, meters.mid(RawDataPacketHeader::SIZE))},
         {"vq.subtype.unexpected=1"}},
        {"found by heuristics on another port", {change}, {"vq.json.class=DatacorePacket"}, quint16(SERVER_PORT + 1)},
    };
}

// Standard output of a command that must exit with 0, else nothing.
QByteArray outputOf(const QStringList& command, const QString& home)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    process.setProcessEnvironment(environment);
    process.start(command.first(), command.mid(1));
    const bool ok = process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
    return ok ? process.readAllStandardOutput() : QByteArray();
}

} // namespace

// The Lua dissector under tshark, on a capture of crafted streams with known
// contents.
class TestDissector : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void craftedStreams_data();
    void craftedStreams();

private:
    QTemporaryDir m_dir;
    std::vector<CraftedStream> m_streams;
    QStringList m_fields;
    // Per client port, one row per frame, one column per field; occurrences joined by '|'.
    QHash<quint16, QVector<QStringList>> m_frames;
};

void TestDissector::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("tshark")).isEmpty())
        QSKIP("tshark is not installed (Debian package tshark; scripts/bootstrap installs it)");
    QVERIFY(m_dir.isValid());
    // tshark may be run as nobody below, so its files must be readable by all.
    QFile::setPermissions(m_dir.path(), QFile::permissions(m_dir.path()) | QFile::ReadOther | QFile::ExeOther);

    // As root, tshark loads -X lua_script only where the global init.lua sets
    // run_user_scripts_when_superuser; elsewhere it is run as user nobody.
    const QStringList script{QStringLiteral("-X"), QStringLiteral("lua_script:") + LUA_SCRIPT};
    QList<QStringList> candidates{{QStringLiteral("tshark")}};
    if (::geteuid() == 0 && !QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty()) {
        candidates.append({QStringLiteral("setpriv"), QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                           QStringLiteral("--clear-groups"), QStringLiteral("tshark")});
    }
    QStringList tshark;
    for (const QStringList& candidate : candidates) {
        if (outputOf(candidate + QStringList{"-G", "protocols"} + script, m_dir.path()).contains("\tVQ\tvq\n")) {
            tshark = candidate;
            break;
        }
    }
    if (tshark.isEmpty())
        QSKIP("tshark does not load the Lua dissector (no Lua support, or root without user scripts and no setpriv)");

    // Every crafted stream on its own client port, all dissected in one run.
    m_streams = ::craftedStreams();
    std::vector<Segment> segments;
    m_fields = QStringList{QStringLiteral("tcp.dstport")} + FAULT_FIELDS;
    for (std::size_t i = 0; i < m_streams.size(); ++i) {
        for (const QByteArray& bytes : m_streams[i].segments)
            segments.push_back({quint16(FIRST_CLIENT_PORT + i), m_streams[i].serverPort, bytes});
        for (const QString& expectation : m_streams[i].expectations) {
            if (!m_fields.contains(expectation.section('=', 0, 0)))
                m_fields.append(expectation.section('=', 0, 0));
        }
    }
    QFile capture(m_dir.path() + QStringLiteral("/crafted.pcap"));
    QVERIFY(capture.open(QIODevice::WriteOnly));
    capture.write(pcapOf(segments));
    capture.close();
    capture.setPermissions(capture.permissions() | QFile::ReadOther);

    QStringList command = tshark + script
        + QStringList{"-n", "-2", "-r", capture.fileName(), "-T", "fields", "-E", "occurrence=a", "-E", "aggregator=|"};
    for (const QString& field : m_fields)
        command << QStringLiteral("-e") << field;
    for (const QString& line : QString::fromUtf8(outputOf(command, m_dir.path())).split('\n')) {
        if (!line.isEmpty())
            m_frames[quint16(line.section('\t', 0, 0).toUInt())].append(line.split('\t'));
    }
    QVERIFY(!m_frames.isEmpty());
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
    for (const QStringList& frame : m_frames.value(quint16(FIRST_CLIENT_PORT + index))) {
        for (int column = 1; column < m_fields.size(); ++column) {
            if (!frame.value(column).isEmpty())
                values[m_fields.at(column)].append(frame.value(column));
        }
    }
    for (const QString& field : FAULT_FIELDS)
        QVERIFY2(values.value(field).isEmpty(), qPrintable(field));
    for (const QString& expectation : m_streams[std::size_t(index)].expectations) {
        const QString field = expectation.section('=', 0, 0);
        QCOMPARE(field + '=' + values.value(field).join('|'), expectation);
    }
}

QTEST_GUILESS_MAIN(TestDissector)
#include "tst_dissector.moc"
