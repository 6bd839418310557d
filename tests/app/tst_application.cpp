#include "childrun.h"
#include "dummyclientmain.h"
#include "vqclientcoreapplicationbase.h"

#include <QTimer>
#include <QtTest>

#include <stdexcept>

namespace {

// Throws from its handler of user events: a std::runtime_error, or else an int.
class ThrowingObject : public QObject
{
public:
    explicit ThrowingObject(bool runtimeError) : m_runtimeError(runtimeError) {}

protected:
    bool event(QEvent* event) override
    {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        if (m_runtimeError)
            throw std::runtime_error("handler failed");
        throw 42;
    }

private:
    bool m_runtimeError;
};

// Child: an event handler throws something not derived from std::exception.
int runThrowingChild(int argc, char** argv)
{
    VqClientCoreApplicationBase application(argc, argv);
    ThrowingObject object(false);
    QCoreApplication::postEvent(&object, new QEvent(QEvent::User));
    QTimer::singleShot(2000, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    return 0;
}

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
    void childProcessEnds_data();
    void childProcessEnds();
};

void TestApplication::runtimeErrorDoesNotStopTheLoop()
{
    ThrowingObject thrower(true);
    int laterEvents = 0;
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QTimer::singleShot(0, this, [&] { ++laterEvents; });
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QTimer::singleShot(0, this, [&] { ++laterEvents; });
    QTRY_COMPARE(laterEvents, 2);
    QEvent direct(QEvent::User);
    QVERIFY(!QCoreApplication::sendEvent(&thrower, &direct));
}

void TestApplication::childProcessEnds_data()
{
    QTest::addColumn<QByteArray>("mode");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("crashes");
    QTest::newRow("an exception not from std::exception ends the process") << QByteArray("throw") << QStringList()
                                                                           << true;
    QTest::newRow("entry point, assorted options, returns 0")
        << QByteArray("entry") << QStringList{"--port=1", "-Dhost=example", "-v", "a=b=c", "=", "plain"} << false;
}

void TestApplication::childProcessEnds()
{
    QFETCH(QByteArray, mode);
    QFETCH(QStringList, arguments);
    QFETCH(bool, crashes);
    const ChildRun::Result child = ChildRun::run(mode, arguments);
    QCOMPARE(child.exitStatus, crashes ? QProcess::CrashExit : QProcess::NormalExit);
    if (!crashes) {
        QCOMPARE(child.exitCode, 0);
        QVERIFY2(child.output.contains("QAbstractSocket::ConnectionRefusedError"), child.output.constData());
    }
}

int main(int argc, char** argv)
{
    const QByteArray mode = ChildRun::mode();
    if (mode == "throw")
        return runThrowingChild(argc, argv);
    if (mode == "entry")
        return runEntryPointChild(argc, argv);

    VqClientCoreApplicationBase application(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_application.moc"
