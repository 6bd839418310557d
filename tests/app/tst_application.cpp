#include "childrun.h"
#include "dummyclientmain.h"
#include "vqclientcoreapplicationbase.h"

#include <QTimer>
#include <QtTest>

#include <stdexcept>

namespace {

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

class TestApplication : public QObject
{
    Q_OBJECT

private slots:
    void runtimeErrorDoesNotStopTheLoop();
    void entryPointWithAssortedOptionsReturnsZero();
};

void TestApplication::runtimeErrorDoesNotStopTheLoop()
{
    ThrowingObject thrower;
    int laterEvents = 0;
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QTimer::singleShot(0, this, [&] { ++laterEvents; });
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QTimer::singleShot(0, this, [&] { ++laterEvents; });
    QTRY_COMPARE(laterEvents, 2);
    QEvent direct(QEvent::User);
    QVERIFY(!QCoreApplication::sendEvent(&thrower, &direct));
}

void TestApplication::entryPointWithAssortedOptionsReturnsZero()
{
    const ChildRun::Result child = ChildRun::run("entry", {"--port=1", "-Dhost=example", "-v", "a=b=c", "=", "plain"});
    QCOMPARE(child.exitStatus, QProcess::NormalExit);
    QCOMPARE(child.exitCode, 0);
    QVERIFY2(child.output.contains("QAbstractSocket::ConnectionRefusedError"), child.output.constData());
}

int main(int argc, char** argv)
{
    if (ChildRun::mode() == "entry")
        return runEntryPointChild(argc, argv);
    VqClientCoreApplicationBase application(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_application.moc"
