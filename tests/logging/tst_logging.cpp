#include "childrun.h"
#include "logcapture.h"
#include "logging.h"
#include "vqlog.h"

#include <QDate>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <poll.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>

namespace {

const QString LONG_MESSAGE = QStringLiteral("long:") + QString(600, QLatin1Char('x'));
const QString NON_ASCII = QStringLiteral("Gr\u00fc\u00dfe \u65e5\u672c \u00b5s");

// Runs in a child process so that the real standard-output and syslog sinks can
// be observed from outside.
int runChild(const QByteArray& mode)
{
    initialiseLogging(mode == "stdout", "/home/transfer/log/");
    VqLog::info("Connected");
    VqLog::error("Boom {}", 42);
    VqLog::debug("hidden debug");
    VqLog::warn("{}", LONG_MESSAGE);
    VqLog::info("{}", NON_ASCII);
    VqLog::info("syslog 100% {}", "%s");
    shutdownLogging();
    std::fprintf(stderr, "tid=%ld\n", static_cast<long>(::syscall(SYS_gettid)));
    return 0;
}

} // namespace

class TestLogging : public QObject
{
    Q_OBJECT

private slots:
    void standardOutputLines();
    void secondInitialiseChangesNothingAndShutdownEmptiesRegistry();
    void qtArguments();
    void systemLog();
};

void TestLogging::standardOutputLines()
{
    QCOMPARE(ChildRun::run("syslog").output, QByteArray());
    const ChildRun::Result child = ChildRun::run("stdout");
    QCOMPARE(child.exitCode, 0);
    const QRegularExpressionMatch tid = QRegularExpression(QStringLiteral("tid=(\\d+)")).match(child.errors);
    QVERIFY2(tid.hasMatch(), child.errors.constData());
    const QString prefix = QStringLiteral("[%1][tid:%2]")
                               .arg(QDate::currentDate().toString(QStringLiteral("yy/MM/dd")), tid.captured(1));
    // Five messages, the debug one not among them, each ended by a line feed.
    QCOMPARE(QString::fromUtf8(child.output).split(QLatin1Char('\n')),
             (QStringList{prefix + "[I]> Connected", prefix + "[E]> Boom 42", prefix + "[W]> " + LONG_MESSAGE,
                          prefix + "[I]> " + NON_ASCII, prefix + "[I]> syslog 100% %s", QString()}));
}

void TestLogging::secondInitialiseChangesNothingAndShutdownEmptiesRegistry()
{
    QVERIFY(initialiseLogging(false, std::string()));
    const auto first = spdlog::get(VQ_LOGGER_NAME);
    QVERIFY(first);
    const auto sinks = first->sinks();
    QCOMPARE(sinks.size(), size_t(1));

    QVERIFY(!initialiseLogging(true, std::string()));
    QCOMPARE(spdlog::get(VQ_LOGGER_NAME), first);
    QCOMPARE(first->sinks(), sinks);
    QCOMPARE(first->level(), spdlog::level::info);

    shutdownLogging();
    QVERIFY(!spdlog::get(VQ_LOGGER_NAME));
    // Writing with no logger registered is skipped, not a crash.
    VqLog::info("nobody listens");
}

void TestLogging::qtArguments()
{
    LogCapture capture;
    VqLog::info("{}", QStringList{"a", "b"});
    VqLog::info("{}", NON_ASCII);
    VqLog::info("[{:>4}]", QString("ab"));
    VqLog::info("[{}]", QString());
    QCOMPARE(capture.messages(), (QStringList{"ab", NON_ASCII, "[  ab]", "[]"}));
}

void TestLogging::systemLog()
{
    if (QStandardPaths::findExecutable(QStringLiteral("unshare")).isEmpty())
        QSKIP("unshare is not installed: cannot give the child a private /dev/log");
    QTemporaryDir directory;
    const QByteArray socketPath = QFile::encodeName(directory.path() + QStringLiteral("/log"));
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    QVERIFY(fd >= 0 && size_t(socketPath.size()) < sizeof(address.sun_path));
    std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);

    // A private mount namespace whose /dev holds the usual nodes and a "log"
    // that leads to our socket; the rest of the machine is not touched.
    const QString script = QStringLiteral(
        "set -e\n"
        "newdev=\"$1\"/dev; mkdir \"$newdev\"\n"
        "mount -t tmpfs tmpfs \"$newdev\"\n"
        "for node in null zero full random urandom tty; do\n"
        "  if [ -e /dev/$node ]; then touch \"$newdev/$node\"; mount --bind /dev/$node \"$newdev/$node\"; fi\n"
        "done\n"
        "ln -s \"$2\" \"$newdev/log\"\n"
        "mount --rbind \"$newdev\" /dev\n"
        "shift 2\n"
        "exec \"$@\"\n");
    const ChildRun::Result child
        = ChildRun::run("syslog", {}, {"unshare", "-m", "sh", "-c", script, "sh", directory.path(), socketPath});
    if (child.exitCode != 0) {
        ::close(fd);
        QSKIP(qPrintable("no private mount namespace here: " + QString::fromLocal8Bit(child.errors).trimmed()));
    }
    QStringList datagrams;
    char buffer[4096];
    for (pollfd descriptor {fd, POLLIN, 0}; ::poll(&descriptor, 1, 500) > 0;) {
        const ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
        if (n <= 0)
            break;
        datagrams.append(QString::fromUtf8(buffer, int(n)));
    }
    ::close(fd);

    // Priority = facility LOG_USER (8) + level; the text is bare, without our line prefix.
    const QString tag = QFileInfo(QCoreApplication::applicationFilePath()).fileName() + QStringLiteral(": ");
    const QStringList expected{"<14>" + tag + "Connected", "<11>" + tag + "Boom 42", "<12>" + tag + LONG_MESSAGE,
                               "<14>" + tag + NON_ASCII, "<14>" + tag + "syslog 100% %s"};
    QCOMPARE(datagrams.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        QVERIFY2(datagrams.at(i).startsWith(expected.at(i).left(4)) && datagrams.at(i).endsWith(expected.at(i).mid(4)),
                 qPrintable(datagrams.at(i)));
    }
}

int main(int argc, char** argv)
{
    const QByteArray mode = ChildRun::mode();
    if (!mode.isEmpty())
        return runChild(mode);
    QCoreApplication application(argc, argv);
    TestLogging test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_logging.moc"
