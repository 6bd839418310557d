#include "childrun.h"
#include "logging.h"
#include "vqlog.h"

#include <QtTest>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QString NON_ASCII = QStringLiteral("Gr\u00fc\u00dfe \u65e5\u672c");

// Runs in a child process so that the real standard-output and syslog sinks can
// be observed from outside.
int runChild(const QByteArray& mode)
{
    const bool first = initialiseLogging(mode == "stdout", "/home/transfer/log/");
    // A second call changes nothing: neither the sinks nor the level.
    const bool second = initialiseLogging(mode != "stdout", std::string());
    VqLog::info("Connected");
    VqLog::error("Boom {}", 42);
    VqLog::debug("hidden debug");
    // A syslog sink that took the text for a format would garble this.
    VqLog::warn("{} 100% %s", NON_ASCII);
    shutdownLogging();
    // Writing with no logger registered is skipped, not a crash.
    VqLog::info("nobody listens");
    return first && !second ? 0 : 1;
}

} // namespace

class TestLogging : public QObject
{
    Q_OBJECT

private slots:
    void standardOutputAndSystemLog();
};

void TestLogging::standardOutputAndSystemLog()
{
    const ChildRun::Result quiet = ChildRun::run("syslog");
    QCOMPARE(quiet.exitCode, 0);
    QCOMPARE(quiet.output, QByteArray());
    QTemporaryDir directory;
    const QByteArray socketPath = QFile::encodeName(directory.path() + QStringLiteral("/log"));
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un address {AF_UNIX, {}};
    QVERIFY(fd >= 0 && size_t(socketPath.size()) < sizeof(address.sun_path));
    std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);

    // A private mount namespace whose /dev holds only a "log" leading to our
    // socket; the rest of the machine is not touched.
    const char* const script = "set -e; mount -t tmpfs tmpfs /dev; ln -s \"$1\" /dev/log; shift; exec \"$@\"";
    const ChildRun::Result child = ChildRun::run("stdout", {}, {"unshare", "-m", "sh", "-c", script, "sh", socketPath});
    QStringList datagrams;
    char buffer[4096];
    for (pollfd descriptor {fd, POLLIN, 0}; ::poll(&descriptor, 1, 500) > 0;) {
        const ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
        if (n <= 0)
            break;
        // Drop the time stamp between the priority and the tag.
        const QString datagram = QString::fromUtf8(buffer, int(n));
        datagrams.append(datagram.left(4) + datagram.mid(datagram.indexOf(QLatin1String("tst_logging"))));
    }
    ::close(fd);
    if (child.exitCode != 0)
        QSKIP(qPrintable("no unshare or no mount namespace: " + QString::fromLocal8Bit(child.errors).trimmed()));

    const QString output = QString::fromUtf8(child.output).replace(QRegularExpression("\\[tid:\\d+\\]"), "[tid]");
    const QString prefix = QDate::currentDate().toString(QStringLiteral("[yy/MM/dd]")) + "[tid]";
    QCOMPARE(output.split(QLatin1Char('\n')), (QStringList{prefix + "[I]> Connected", prefix + "[E]> Boom 42",
                                                            prefix + "[W]> " + NON_ASCII + " 100% %s", QString()}));
    // Priority = facility LOG_USER (8) + level; the text is bare, without our line prefix.
    QCOMPARE(datagrams, (QStringList{"<14>tst_logging: Connected", "<11>tst_logging: Boom 42",
                                     "<12>tst_logging: " + NON_ASCII + " 100% %s"}));
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
