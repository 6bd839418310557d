#include "childrun.h"
#include "dummyclientmain.h"
#include "fakeserver.h"
#include "logcapture.h"
#include "sdiinputratechangeeventpacket.h"
#include "sequencepackagedlogpacket.h"
#include "vqdummyclientapplicationbase.h"

#include <QtTest>

#include <stdexcept>

namespace {

const QString SERIAL_PATH = QStringLiteral("statusCoreRouter/licenseStatus/serialNumber");

VqDummyClientApplicationBase* application()
{
    return static_cast<VqDummyClientApplicationBase*>(QCoreApplication::instance());
}

class ThrowingObject : public QObject
{
protected:
    bool event(QEvent* event) override
    {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        throw std::runtime_error("handler failed");
    }
};

// Child: the real entry point, with an event loop that returns 7 once the
// first connection attempt, to a port nobody listens on here, has failed.
int runEntryPointChild(int argc, char** argv)
{
    usePrivateLoopback();
    qAddPreRoutine([] { QTimer::singleShot(3500, [] { QCoreApplication::exit(7); }); });
    return runDummyClient(argc, argv);
}

} // namespace

// The application's objects wired together, against an in-process server on
// the fixed port 29440.
class TestObjectGraph : public QObject
{
    Q_OBJECT

private slots:
    void handlerErrorDoesNotStopTheLoop();
    void entryPointWithAssortedOptionsReturnsZero();
    void logPacketsReachBothHandlersBaseFirst();
    void connectsAfterRetryPeriodAndRewiresAfterReconnection();
};

void TestObjectGraph::handlerErrorDoesNotStopTheLoop()
{
    ThrowingObject thrower;
    bool later = false;
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QTimer::singleShot(0, this, [&] { later = true; });
    QTRY_VERIFY(later);
    QEvent direct(QEvent::User);
    QVERIFY(!QCoreApplication::sendEvent(&thrower, &direct));
}

void TestObjectGraph::entryPointWithAssortedOptionsReturnsZero()
{
    const ChildRun::Result child = ChildRun::run("entry", {"--port=1", "-Dhost=example", "-v", "a=b=c", "=", "plain"});
    QCOMPARE(child.exitStatus, QProcess::NormalExit);
    QCOMPARE(child.exitCode, 0);
    QVERIFY2(child.output.contains("QAbstractSocket::ConnectionRefusedError"), child.output.constData());
}

void TestObjectGraph::logPacketsReachBothHandlersBaseFirst()
{
    QStringList order;
    connect(application()->logPacketHandler(), &VqClientSequencePackagedLogPacketHandler::newLogEntry, this,
            [&](const QString&) { order.append(QStringLiteral("base")); });
    connect(application()->extraLogPacketHandler(), &VqClientSequencePackagedLogPacketHandler::newLogEntry, this,
            [&](const QString&) { order.append(QStringLiteral("derived")); });

    SdiInputRateChangeEventPacket event;
    event.setDateTime(QDateTime::currentDateTime());
    SequencePackagedLogPacket carrier;
    carrier.setLogPacket(event);
    application()->distributor()->acceptPacket(carrier);
    QCOMPARE(order, (QStringList{QStringLiteral("base"), QStringLiteral("derived")}));
}

void TestObjectGraph::connectsAfterRetryPeriodAndRewiresAfterReconnection()
{
    FakeServer server;
    server.setDatacore(SERIAL_PATH, "111");
    server.setDatacore(QStringLiteral("configCoreRouter/systemController/brevEth0IgmpMaxVersion"), "2");
    server.setDatacore(QStringLiteral("commandCoreRouter/executorCommander"), QJsonValue());
    QVERIFY(server.listen(29440));
    LogCapture capture;

    QElapsedTimer sinceInitialise;
    sinceInitialise.start();
    application()->initialise();
    QTRY_COMPARE_WITH_TIMEOUT(server.connectionCount(), 1, 5000);
    QVERIFY2(sinceInitialise.elapsed() >= 1800, "the first attempt must wait for the retry timer");
    QTRY_COMPARE(capture.count(QStringLiteral("Unit serial number is: 111")), 1);
    QCOMPARE(capture.count(QStringLiteral("IGMP max supported version is: 2")), 1);

    // A lost connection clears the mirror; the next tree wires the new datacores again.
    server.setDatacore(SERIAL_PATH, "222");
    server.closeAll();
    QTRY_VERIFY(application()->datacoreManager()->registry()->isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(capture.count(QStringLiteral("Unit serial number is: 222")), 1, 5000);
    QCOMPARE(capture.count(QStringLiteral("Unit serial number is: 111")), 1);
    QCOMPARE(capture.count(QStringLiteral("IGMP max supported version is: 2")), 2);

    // The DummyClient's command reaches the server through the rewired executor.
    emit application()->dummyClient()->executeCommandWithParameters(QStringLiteral("reboot"));
    QTRY_VERIFY(!server.received().isEmpty());
    const QByteArray sent = QJsonDocument(server.received().last()).toJson(QJsonDocument::Compact);
    QVERIFY2(sent.contains("\"Path\":\"commandCoreRouter/executorCommander\"") && sent.contains("\"data\":\"reboot\""),
             sent.constData());
}

int main(int argc, char** argv)
{
    if (ChildRun::mode() == "entry")
        return runEntryPointChild(argc, argv);
    VqDummyClientApplicationBase application(argc, argv);
    TestObjectGraph test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_objectgraph.moc"
