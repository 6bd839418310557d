#include "childrun.h"
#include "datacorepathradixtreepacket.h"
#include "datacoretoolsession.h"
#include "processrunner.h"
#include "programlauncher.h"

#include <QTcpServer>
#include <QtTest>

#include <csignal>

namespace {

const QString TOOL = QStringLiteral(VQ_DATACORE_PATH);
const QString IGMP_PATH = QStringLiteral("configCoreRouter/systemController/brevEth0IgmpMaxVersion");
const QString HOST_NAME_PATH = QStringLiteral("configCoreRouter/systemController/hostName");
const QString CHANNELS_PATH = QStringLiteral("configCoreRouter/generator/audioTone/channelsEnabled");
const QString NOT_SUPPORTED = QStringLiteral("Error: The stored value is not supported");

// No periodic traffic: values stay as the tree describes them.
const QStringList QUIET = {"--status-rate", "0", "--event-rate", "0", "--preset-rate", "0", "--measurement-rate", "0"};

enum Status { Ok = 0, Differences = 1, Usage = 2, UnknownPath = 6, ValueRefused = 7, OtherValueStored = 9,
              FrameTooLarge = 10 };

struct ToolRun
{
    int status = -1;
    QStringList lines;
    QString errors;
};

} // namespace

// vq_datacore against vq_simserver, both as separate processes, the server on
// a free port of its own.
class TestDatacoreTool : public QObject
{
    Q_OBJECT

private slots:
    void commands_data();
    void commands();
    void dumpsReadBackAndDiff();
    void listPathsFromTree_data();
    void listPathsFromTree();
    void watchEndsAfterItsCountOrWhenInterrupted();

private:
    bool startServer(const QStringList& arguments = QUIET);
    ToolRun runTool(const QStringList& arguments) const;
    // "--port" with the server's port, then arguments: for the server and the tool alike.
    QStringList withPort(const QStringList& arguments) const;

    ProcessRunner m_server{QStringLiteral(VQ_SIMSERVER_PATH)};
    quint16 m_port = 0;
};

bool TestDatacoreTool::startServer(const QStringList& arguments)
{
    m_server.stop();
    // A port nobody listened on a moment ago.
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    m_port = probe.serverPort();
    probe.close();
    return m_server.startListening(withPort(arguments));
}

QStringList TestDatacoreTool::withPort(const QStringList& arguments) const
{
    return QStringList{QStringLiteral("--port"), QString::number(m_port)} + arguments;
}

ToolRun TestDatacoreTool::runTool(const QStringList& arguments) const
{
    // The server must keep being served meanwhile: it is a process, not this loop.
    const ChildRun::Result result = ChildRun::execute(ProgramLauncher::command(TOOL, withPort(arguments)), {}, 20000);
    ToolRun run{result.exitStatus == QProcess::NormalExit ? result.exitCode : -1,
                QString::fromUtf8(result.output).split(QLatin1Char('\n')), QString::fromUtf8(result.errors)};
    run.lines.removeAll(QString());
    return run;
}

void TestDatacoreTool::commands_data()
{
    QTest::addColumn<QStringList>("serverArguments");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("errorPart");

    const auto row = [&](const char* name, const QStringList& arguments, int status, const QStringList& lines,
                         const QString& errorPart, const QStringList& serverArguments = QUIET) {
        QTest::newRow(name) << serverArguments << arguments << status << lines << errorPart;
    };
    const QString igmp3 = IGMP_PATH + R"( = "3")";
    const QString hostName = HOST_NAME_PATH + R"( = "vq-unit-01")";
    row("list a subtree", {"list", "configCoreRouter/audioMonitor"}, Ok,
        {"configCoreRouter/audioMonitor", "configCoreRouter/audioMonitor/channelPairs",
         "configCoreRouter/audioMonitor/meterBallistics"}, "");
    row("unknown command", {"lsit"}, Usage, {}, "lsit");
    row("get, one path unknown", {"get", HOST_NAME_PATH, "statusCoreRouter/none", CHANNELS_PATH}, UnknownPath,
        {hostName, CHANNELS_PATH + R"( = ["true","true","false","false"])"},
        "vq_datacore: no datacore statusCoreRouter/none\n");
    row("values alone", {"--format", "value", "get", HOST_NAME_PATH, CHANNELS_PATH}, Ok,
        {"vq-unit-01", "true", "true", "false", "false"}, "");
    row("JSON keys in their order", {"--json", "get", IGMP_PATH}, Ok,
        {R"({"path":")" + IGMP_PATH + R"(","data":["3"],"validationMessages":[],"active":true})"}, "");
    row("set, confirmed", {"set", CHANNELS_PATH, "false", "true", "true", "false"}, Ok,
        {CHANNELS_PATH + R"( = ["false","true","true","false"])"}, "");
    row("set a value starting with a dash", {"set", IGMP_PATH, "-2"}, ValueRefused,
        {igmp3, "    ! " + NOT_SUPPORTED}, R"(refused the value for )" + IGMP_PATH + R"( and kept "3": )" + NOT_SUPPORTED);
    row("set, another value stored", {"--force", "set", IGMP_PATH, "2", "3"}, OtherValueStored,
        {IGMP_PATH + R"( = "2")"}, R"(stored "2" for )" + IGMP_PATH + ", not the value asked for");
    row("a frame too large for the client", {"get", HOST_NAME_PATH}, FrameTooLarge, {hostName},
        "larger than the client takes", QUIET + QStringList{"--corrupt-length"});
}

void TestDatacoreTool::commands()
{
    QFETCH(QStringList, serverArguments);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QStringList, lines);
    QFETCH(QString, errorPart);

    QVERIFY(startServer(serverArguments));
    const ToolRun run = runTool(arguments);
    QCOMPARE(run.status, status);
    QCOMPARE(run.lines, lines);
    QVERIFY2(run.errors.contains(errorPart), qPrintable(run.errors));
    QCOMPARE(run.errors.isEmpty(), errorPart.isEmpty());
    // The value kept is the one the mirror holds, for which nothing would be
    // sent by itself: the server judges it anew all the same.
    if (status == ValueRefused)
        QCOMPARE(runTool({"set", arguments.at(1), lines.first().section('"', 1, 1)}).lines, lines.mid(0, 1));
    // What a second client now gets from the server.
    if (status == Ok && arguments.first() == QLatin1String("set"))
        QCOMPARE(runTool({"get", arguments.at(1)}).lines, lines);
}

void TestDatacoreTool::dumpsReadBackAndDiff()
{
    QVERIFY(startServer());
    // A validation message, which each dump must carry for diff to find nothing.
    QCOMPARE(runTool({"set", IGMP_PATH, "9"}).status, int(ValueRefused));
    QTemporaryDir directory;
    for (const QStringList& dump : {QStringList{"dump"}, QStringList{"--json", "dump"}}) {
        QFile file(directory.filePath(dump.first()));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(runTool(dump).lines.join('\n').toUtf8()) > 0);
        file.close();
        const ToolRun unchanged = runTool({"diff", file.fileName(), "configCoreRouter"});
        QVERIFY2(unchanged.status == Ok && unchanged.lines.isEmpty(), qPrintable(unchanged.lines.join('\n')));
    }
    QCOMPARE(runTool({"set", HOST_NAME_PATH, "studio-7"}).status, int(Ok));
    const ToolRun changed = runTool({"diff", directory.filePath("dump"), "configCoreRouter/systemController"});
    QCOMPARE(changed.status, int(Differences));
    QCOMPARE(changed.lines, QStringList{"~ " + HOST_NAME_PATH + R"(: "vq-unit-01" -> "studio-7")"});
}

void TestDatacoreTool::listPathsFromTree_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("all: sorted, each once, no incomplete path")
        << QString() << QStringList{"b", "b/a", "b/a-x", "b/a/c", "c", "d"};
    // "b/a-x" sorts between "b/a" and "b/a/c".
    QTest::newRow("subtree around a longer name") << "b/a" << QStringList{"b/a", "b/a/c"};
    QTest::newRow("start of a name") << "b/a-" << QStringList();
}

// list takes its paths from the server's path tree alone; they must be the
// ones the mirror would hold.
void TestDatacoreTool::listPathsFromTree()
{
    QFETCH(QString, prefix);
    const auto node = [](const QString& core, const QJsonArray& kids = {}) {
        return kids.isEmpty() ? QJsonObject{{"Core", core}} : QJsonObject{{"Core", core}, {"Kids", kids}};
    };
    const QString tree = DatacorePathRadixTreePacket::CLASS_NAME;
    DatacoreToolSession session(DatacoreToolSession::Mode::PathsOnly);
    QSignalSpy populated(&session, &DatacoreToolSession::mirrorPopulated);
    QVERIFY(session.canAcceptPacket(tree));
    session.acceptPacket(SerialisableDataPacket(QJsonObject{
        {"Class", tree}, {"ConfigTreeObject", node("b", {node("a", {node("c")}), node("a-x"), node("a"), node("")})},
        {"StatusTreeObject", node("c")}, {"CommandTreeObject", node("b")}, {"PersistentConfigTreeObject", node("d")}}));
    // Only the first tree counts, as for the mirror.
    session.acceptPacket(SerialisableDataPacket(QJsonObject{{"Class", tree}, {"ConfigTreeObject", node("z")}}));
    QCOMPARE(populated.count(), 1);
    QTEST(session.paths(prefix), "expected");
    QVERIFY(!session.registry());
}

void TestDatacoreTool::watchEndsAfterItsCountOrWhenInterrupted()
{
    QVERIFY(startServer());
    QProcess counted;
    QProcess interrupted;
    ProgramLauncher::start(counted, TOOL, withPort({"--json", "--count", "1", "watch", HOST_NAME_PATH, IGMP_PATH}));
    ProgramLauncher::start(interrupted, TOOL, withPort({"--updates-only", "watch", HOST_NAME_PATH}));
    // Standard error says when each watch has its datacores; peeking leaves standard output alone.
    for (QProcess* watch : {&counted, &interrupted}) {
        watch->setReadChannel(QProcess::StandardError);
        QTRY_VERIFY_WITH_TIMEOUT(watch->peek(4096).contains(watch == &counted ? "watching 2 " : "watching 1 "), 10000);
    }

    // A change by a second client is the one change the counted watch waits for.
    QCOMPARE(runTool({"set", HOST_NAME_PATH, "from-another-client"}).status, int(Ok));
    QVERIFY(counted.waitForFinished(10000));
    QCOMPARE(counted.exitCode(), int(Ok));
    QStringList seen;
    for (const QByteArray& line : counted.readAllStandardOutput().trimmed().split('\n')) {
        const QJsonObject change = QJsonDocument::fromJson(line).object();
        seen << change.value("path").toString().section('/', -1) + '=' + change.value("data").toArray().at(0).toString()
                + (change.value("initial").toBool() ? " (initial)" : "");
    }
    // The current values first, marked as such, then the change.
    QCOMPARE(seen, (QStringList{"hostName=vq-unit-01 (initial)", "brevEth0IgmpMaxVersion=3 (initial)",
                                "hostName=from-another-client"}));

    ::kill(pid_t(interrupted.processId()), SIGINT);
    QVERIFY(interrupted.waitForFinished(5000));
    // Ended normally, with the one initial value.
    QCOMPARE((QList<int>{interrupted.exitStatus(), interrupted.exitCode(),
                         interrupted.readAllStandardOutput().count('\n')}),
             (QList<int>{QProcess::NormalExit, Ok, 1}));
}

QTEST_GUILESS_MAIN(TestDatacoreTool)
#include "tst_datacoretool.moc"
