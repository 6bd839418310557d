#include "datacoresnapshot.h"
#include "processrunner.h"
#include "programlauncher.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

const QString TOOL = QStringLiteral(VQ_DATACORE_PATH);
const QString IGMP_PATH = QStringLiteral("configCoreRouter/systemController/brevEth0IgmpMaxVersion");
const QString HOST_NAME_PATH = QStringLiteral("configCoreRouter/systemController/hostName");
const QString CHANNELS_PATH = QStringLiteral("configCoreRouter/generator/audioTone/channelsEnabled");
const QString NOT_SUPPORTED = QStringLiteral("Error: The stored value is not supported");
// A datacore whose name holds a "/": the client names it by the last segment
// only, so the server cannot match the client's change and never answers it.
const QString UNANSWERED_PATH = QStringLiteral("configCoreRouter/unanswered/level");

// No periodic traffic: values stay as the tree describes them.
const QStringList QUIET = {"--status-rate", "0", "--event-rate", "0", "--preset-rate", "0", "--measurement-rate", "0"};

enum Status { Ok = 0, Differences = 1, Usage = 2, NoConnection = 3, ConnectionLost = 4, TimedOut = 5, UnknownPath = 6,
              ValueRefused = 7, NotConfirmed = 8 };

struct ToolRun
{
    int status = -1;
    QStringList lines;
    QString errors;
};

// A port nobody listens on a moment ago.
quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// A vq_datacore left running, its standard error collected as it comes.
struct RunningTool
{
    bool hasWritten(const QByteArray& text)
    {
        errors += process.readAllStandardError();
        return errors.contains(text);
    }

    QProcess process;
    QByteArray errors;
};

} // namespace

// vq_datacore against vq_simserver, both as separate processes, the server on
// a free port of its own.
class TestDatacoreTool : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void commands_data();
    void commands();
    void jsonAndTextDumpsReadBackAlike();
    void diffAgainstSavedDump();
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
    m_port = freePort();
    return m_server.startListening(withPort(arguments));
}

void TestDatacoreTool::cleanup()
{
    m_server.stop();
}

QStringList TestDatacoreTool::withPort(const QStringList& arguments) const
{
    return QStringList{QStringLiteral("--port"), QString::number(m_port)} + arguments;
}

ToolRun TestDatacoreTool::runTool(const QStringList& arguments) const
{
    QProcess tool;
    ProgramLauncher::start(tool, TOOL, withPort(arguments));
    ToolRun run;
    // The server must keep being served meanwhile: it is a process, not this loop.
    if (!tool.waitForFinished(20000)) {
        tool.kill();
        tool.waitForFinished();
        return run;
    }
    run.status = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    run.lines = QString::fromUtf8(tool.readAllStandardOutput()).split(QLatin1Char('\n'));
    run.lines.removeAll(QString());
    run.errors = QString::fromUtf8(tool.readAllStandardError());
    return run;
}

void TestDatacoreTool::commands_data()
{
    QTest::addColumn<QStringList>("serverArguments");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("errorPart");

    const QStringList none;
    QTest::newRow("list a subtree")
        << QUIET << QStringList{"list", "configCoreRouter/systemController"} << int(Ok)
        << QStringList{"configCoreRouter/systemController", "configCoreRouter/systemController/brevEth0IgmpMaxVersion",
                       "configCoreRouter/systemController/brevEth1IgmpMaxVersion", HOST_NAME_PATH,
                       "configCoreRouter/systemController/ntpEnabled",
                       "configCoreRouter/systemController/ntpServerAddress",
                       "configCoreRouter/systemController/timeZone"}
        << "";
    QTest::newRow("start of a name is no subtree")
        << QUIET << QStringList{"list", "configCoreRouter/system"} << int(UnknownPath) << none << "no datacore";
    QTest::newRow("unknown command") << QUIET << QStringList{"lsit"} << int(Usage) << none << "lsit";
    QTest::newRow("get, one path unknown")
        << QUIET << QStringList{"get", HOST_NAME_PATH, "statusCoreRouter/none", CHANNELS_PATH} << int(UnknownPath)
        << QStringList{HOST_NAME_PATH + R"( = "vq-unit-01")", CHANNELS_PATH + R"( = ["true","true","false","false"])"}
        << "vq_datacore: no datacore statusCoreRouter/none\n";
    QTest::newRow("set, confirmed") << QUIET << QStringList{"set", IGMP_PATH, "2"} << int(Ok)
                                    << QStringList{IGMP_PATH + R"( = "2")"} << "";
    QTest::newRow("set the value already held") << QUIET << QStringList{"set", HOST_NAME_PATH, "vq-unit-01"} << int(Ok)
                                                << QStringList{HOST_NAME_PATH + R"( = "vq-unit-01")"} << "";
    QTest::newRow("set a list of values") << QUIET << QStringList{"set", CHANNELS_PATH, "false", "true"} << int(Ok)
                                          << QStringList{CHANNELS_PATH + R"( = ["false","true"])"} << "";
    QTest::newRow("set a value starting with a dash")
        << QUIET << QStringList{"set", "configCoreRouter/generator/audioTone/levelDbfs", "-20"} << int(Ok)
        << QStringList{R"(configCoreRouter/generator/audioTone/levelDbfs = "-20")"} << "";
    QTest::newRow("set refused, old value kept")
        << QUIET << QStringList{"set", IGMP_PATH, "7"} << int(ValueRefused)
        << QStringList{IGMP_PATH + R"( = "3")", "    ! " + NOT_SUPPORTED} << "refused the value";
    QTest::newRow("set without confirmation")
        << QUIET + QStringList{"--tree", QFINDTESTDATA("data/unanswered.json")}
        << QStringList{"set", UNANSWERED_PATH, "2"} << int(NotConfirmed) << none << "did not confirm";
    QTest::newRow("no connection")
        << QStringList() << QStringList{"set", IGMP_PATH, "2"} << int(NoConnection) << none << "cannot connect";
    QTest::newRow("time-out before the tree")
        << QStringList{"--pause-before-tree", "5000"} << QStringList{"-t", "1", "list"} << int(TimedOut) << none
        << "within 1 s";
    QTest::newRow("connection lost before the tree")
        << QStringList{"--pause-before-tree", "5000", "--drop-after", "1"} << QStringList{"get", HOST_NAME_PATH}
        << int(ConnectionLost) << none << "lost";
}

void TestDatacoreTool::commands()
{
    QFETCH(QStringList, serverArguments);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QStringList, lines);
    QFETCH(QString, errorPart);

    if (status == NoConnection)
        m_port = freePort();
    else
        QVERIFY(startServer(serverArguments));
    const ToolRun run = runTool(arguments);
    QCOMPARE(run.status, status);
    QCOMPARE(run.lines, lines);
    QVERIFY2(run.errors.contains(errorPart), qPrintable(run.errors));
    QCOMPARE(run.errors.isEmpty(), errorPart.isEmpty());
    if (status == Ok && arguments.first() == QLatin1String("set")) {
        // What a second client now gets from the server.
        const ToolRun check = runTool({"get", arguments.at(1)});
        QCOMPARE(check.lines, lines);
    }
}

void TestDatacoreTool::jsonAndTextDumpsReadBackAlike()
{
    QVERIFY(startServer());
    QVERIFY(runTool({"set", IGMP_PATH, "9"}).status == ValueRefused);
    const ToolRun text = runTool({"dump"});
    const ToolRun json = runTool({"--json", "dump"});
    QCOMPARE(text.status, int(Ok));
    QCOMPARE(json.status, int(Ok));

    DatacoreSnapshot fromText;
    DatacoreSnapshot fromJson;
    QString error;
    QVERIFY2(DatacoreSnapshot::read(text.lines.join('\n').toUtf8(), &fromText, &error), qPrintable(error));
    QVERIFY2(DatacoreSnapshot::read(json.lines.join('\n').toUtf8(), &fromJson, &error), qPrintable(error));
    QCOMPARE(fromText.values().size(), json.lines.size());
    QCOMPARE(json.lines.size(), runTool({"list"}).lines.size());
    QVERIFY(fromText.differencesTo(fromJson).isEmpty());
    const DatacoreValue igmp = fromJson.values().value(IGMP_PATH);
    QCOMPARE(igmp.data, QStringList{"3"});
    QCOMPARE(igmp.validationMessages, QStringList{NOT_SUPPORTED});
}

void TestDatacoreTool::diffAgainstSavedDump()
{
    QVERIFY(startServer());
    QTemporaryDir directory;
    const QString saved = directory.path() + QStringLiteral("/before.txt");
    {
        QFile file(saved);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(runTool({"dump", "configCoreRouter"}).lines.join('\n').toUtf8());
    }
    const ToolRun unchanged = runTool({"diff", saved, "configCoreRouter"});
    QCOMPARE(unchanged.status, int(Ok));
    QVERIFY(unchanged.lines.isEmpty());

    QCOMPARE(runTool({"set", HOST_NAME_PATH, "studio-7"}).status, int(Ok));
    const ToolRun changed = runTool({"diff", saved, "configCoreRouter/systemController"});
    QCOMPARE(changed.status, int(Differences));
    QCOMPARE(changed.lines, QStringList{"~ " + HOST_NAME_PATH + R"(: "vq-unit-01" -> "studio-7")"});
    QCOMPARE(runTool({"diff", directory.path() + QStringLiteral("/missing.txt")}).status, int(Usage));
}

void TestDatacoreTool::watchEndsAfterItsCountOrWhenInterrupted()
{
    QVERIFY(startServer());
    RunningTool counted;
    RunningTool interrupted;
    ProgramLauncher::start(counted.process, TOOL,
                           withPort({"--json", "--count", "1", "watch", HOST_NAME_PATH, IGMP_PATH}));
    ProgramLauncher::start(interrupted.process, TOOL, withPort({"watch", HOST_NAME_PATH}));
    QTRY_VERIFY_WITH_TIMEOUT(counted.hasWritten("watching 2 datacore(s)"), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(interrupted.hasWritten("watching 1 datacore(s)"), 10000);

    // A change by a second client is the one change the counted watch waits for.
    QCOMPARE(runTool({"set", HOST_NAME_PATH, "from-another-client"}).status, int(Ok));
    QVERIFY(counted.process.waitForFinished(10000));
    QCOMPARE(counted.process.exitCode(), int(Ok));
    const QByteArray line = counted.process.readAllStandardOutput().trimmed();
    const QJsonObject object = QJsonDocument::fromJson(line).object();
    QCOMPARE(object.value("path").toString(), HOST_NAME_PATH);
    QCOMPARE(object.value("data").toArray(), QJsonArray{"from-another-client"});
    QDateTime time = QDateTime::fromString(object.value("time").toString(), "yyyy-MM-dd'T'HH:mm:ss.zzz'Z'");
    time.setTimeSpec(Qt::UTC);
    QVERIFY2(qAbs(time.secsTo(QDateTime::currentDateTimeUtc())) < 60, line.constData());

    QVERIFY(interrupted.process.processId() > 0);
    ::kill(pid_t(interrupted.process.processId()), SIGINT);
    QVERIFY(interrupted.process.waitForFinished(5000));
    QCOMPARE(interrupted.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(interrupted.process.exitCode(), int(Ok));
}

QTEST_GUILESS_MAIN(TestDatacoreTool)
#include "tst_datacoretool.moc"
