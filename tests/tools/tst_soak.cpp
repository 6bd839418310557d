#include "processrunner.h"

#include <QtTest>

// Resident memory in KiB, from /proc.
static qint64 residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    status.open(QIODevice::ReadOnly);
    const QRegularExpression rss(QStringLiteral("^VmRSS:\\s+(\\d+) kB"), QRegularExpression::MultilineOption);
    return rss.match(QString::fromLatin1(status.readAll())).captured(1).toLongLong();
}

// Not in the default run (label "soak"): the client through many server
// restarts, reconnecting every time without its memory growing.
class TestSoak : public QObject
{
    Q_OBJECT

private slots:
    void manyServerRestarts();
};

void TestSoak::manyServerRestarts()
{
    const int restarts = qEnvironmentVariableIsSet("VQ_SOAK_RESTARTS") ? qgetenv("VQ_SOAK_RESTARTS").toInt() : 50;
    ProcessRunner client(QStringLiteral(VQ_DUMMYCLIENT_PATH));
    // AddressSanitizer holds freed memory back in a quarantine; without it the
    // resident size of a sanitizer build follows the live memory too.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString asanOptions = environment.value(QStringLiteral("ASAN_OPTIONS"));
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       (asanOptions.isEmpty() ? QString() : asanOptions + QLatin1Char(':'))
                           + QStringLiteral("quarantine_size_mb=0"));
    client.process().setProcessEnvironment(environment);
    QVERIFY(client.start());

    qint64 baselineKiB = -1;
    for (int round = 1; round <= restarts; ++round) {
        ProcessRunner server(QStringLiteral(VQ_SIMSERVER_PATH));
        QVERIFY(server.start({QStringLiteral("--serial"), QString::number(round), QStringLiteral("--event-rate"),
                              QStringLiteral("20")}));
        QTRY_COMPARE_WITH_TIMEOUT(client.countMessage(QStringLiteral("Unit serial number is: %1").arg(round)), 1, 8000);
        // Let some event, preset and measurement traffic through before the loss.
        QTest::qWait(300);
        server.stop();
        if (round == 5)
            baselineKiB = residentKiB(client.process().processId());
    }
    QVERIFY(client.isRunning());
    const qint64 finalKiB = residentKiB(client.process().processId());
    qInfo("client resident memory: %lld KiB after 5 restarts, %lld KiB after %d", baselineKiB, finalKiB, restarts);
    QVERIFY2(restarts < 10 || finalKiB - baselineKiB < 2048, "the client's memory grows with reconnections");
}

QTEST_GUILESS_MAIN(TestSoak)
#include "tst_soak.moc"
