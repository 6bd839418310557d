#include "clientdatacoremanipulator.h"
#include "clientmirror.h"
#include "datacorepacket.h"
#include "fakeserver.h"
#include "logcapture.h"
#include "testframes.h"

#include <QtTest>

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <utility>

namespace {

const QString NAME_PATH = QStringLiteral("configCoreRouter/unit/name");
const QString LEVELS_PATH = QStringLiteral("configCoreRouter/unit/levels");
const QString ALARM_PATH = QStringLiteral("statusCoreRouter/alarm");


using Job = std::function<void(ClientDatacoreManipulator&)>;

// Runs job on a thread of its own, started outside Qt, with a manipulator made
// on that thread, as the manipulator's users do. The future waits for the
// thread when it goes.
std::future<void> startManipulatorThread(ClientDatacoreRegistry* registry, const Job& job)
{
    return std::async(std::launch::async, [registry, job] {
        ClientDatacoreManipulator manipulator(registry);
        job(manipulator);
    });
}

// Keeps the calling thread's event loop going meanwhile.
bool waitForFinished(const std::future<void>& thread, int timeoutMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (thread.wait_for(std::chrono::seconds(0)) != std::future_status::ready && timer.elapsed() < timeoutMs)
        QTest::qWait(5);
    return thread.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

// An event filter given as a function.
struct EventFilter : QObject
{
    explicit EventFilter(std::function<bool(QEvent*)> f) : filter(std::move(f)) {}
    std::function<bool(QEvent*)> filter;
    bool eventFilter(QObject*, QEvent* event) override { return filter(event); }
};

} // namespace

class TestClientDatacoreManipulator : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void read();
    void setAndWaitForSync_data();
    void setAndWaitForSync();
    void concurrentLookupsGetTheirOwnAnswers();
    void waitEndsWhenConnectionIsLost_data();
    void waitEndsWhenConnectionIsLost();
    void answerKnownByClientIdentifier();

private:
    std::unique_ptr<FakeServer> m_server;
    std::unique_ptr<ClientMirror> m_mirror;
};

void TestClientDatacoreManipulator::init()
{
    // The previous test's mirror goes before its server.
    m_mirror.reset();
    m_server = std::make_unique<FakeServer>();
    m_server->setDatacore(NAME_PATH, "studio");
    m_server->setDatacore(LEVELS_PATH, QJsonArray{"-18", "-20"});
    m_server->setDatacore(
        ALARM_PATH, "on", {json(R"({"MessageBase": {"type": 2, "identifier": 10}, "DatacoreValidStatusMessage": {}})")},
        {json(R"({"MessageBase": {"type": 1, "identifier": 1}, "DatacoreActiveStatusMessage": {}})")});
    QVERIFY(m_server->listen());
    m_mirror = std::make_unique<ClientMirror>();
    QVERIFY(m_mirror->connect(m_server->port()));
    QTRY_VERIFY(m_mirror->datacore(ALARM_PATH) && !m_mirror->datacore(ALARM_PATH)->data().isEmpty());
}

void TestClientDatacoreManipulator::read()
{
    ClientDatacore* found = nullptr;
    DatacoreValue value;
    DatacoreValue missing{{QStringLiteral("stale")}, {}, true};
    bool readOk = false;
    bool setOk = false;
    bool missingOk = true;
    QVERIFY(waitForFinished(startManipulatorThread(m_mirror->registry(), [&](ClientDatacoreManipulator& manipulator) {
        found = manipulator.requestDatacoreBlocking(ALARM_PATH);
        value = manipulator.getDatacoreValue(ALARM_PATH, &readOk);
        setOk = manipulator.setDatacoreString(ALARM_PATH, QStringLiteral("set"));
        missing = manipulator.getDatacoreValue(QStringLiteral("statusCoreRouter/none"), &missingOk);
    })));
    QCOMPARE(found, m_mirror->datacore(ALARM_PATH));
    QVERIFY(readOk && setOk && !missingOk);
    QCOMPARE(value.data, QStringList{"on"});
    QCOMPARE(value.validationMessages, QStringList{"Error: Stored value could not be deserialised into type boolean"});
    QVERIFY(!value.isActive && missing.data.isEmpty() && !missing.isActive);
    QTRY_COMPARE(m_server->data(ALARM_PATH), QJsonValue("set"));
}

void TestClientDatacoreManipulator::setAndWaitForSync_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("value");
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("minimumMs");

    QTest::newRow("confirmed by the server") << LEVELS_PATH << QStringList{"-6", "-9", "-12"} << true
                                             << "In sync, all good" << 0;
    QTest::newRow("value already held") << NAME_PATH << QStringList{"studio"} << true
                                        << "No out of sync, assuming no change" << 1000;
    QTest::newRow("never confirmed") << NAME_PATH << QStringList{"gallery"} << false << "No sync, bad" << 5000;
}

void TestClientDatacoreManipulator::setAndWaitForSync()
{
    QFETCH(QString, path);
    QFETCH(QStringList, value);
    QFETCH(bool, confirm);
    QFETCH(QString, line);
    QFETCH(int, minimumMs);

    m_server->answersChanges = confirm;
    LogCapture capture;
    bool setResult = false;
    qint64 elapsedMs = -1;
    QVERIFY(waitForFinished(startManipulatorThread(m_mirror->registry(), [&](ClientDatacoreManipulator& manipulator) {
        QElapsedTimer timer;
        timer.start();
        setResult = manipulator.setDatacoreStringListAndWaitForSync(path, value);
        elapsedMs = timer.elapsed();
    })));
    QCOMPARE(setResult, confirm);
    QCOMPARE(capture.messages(spdlog::level::info),
             (QStringList{QStringLiteral("Set datacore, waiting for out of sync"), line}));
    // The waits that end without an answer must really last their time.
    QVERIFY2(elapsedMs >= minimumMs, qPrintable(QString::number(elapsedMs)));
    QCOMPARE(m_mirror->datacore(path)->data(), value);
}

void TestClientDatacoreManipulator::concurrentLookupsGetTheirOwnAnswers()
{
    // Every lookup answer reaches both manipulators; each must keep to its own.
    std::atomic<int> wrongAnswers{0};
    const auto lookUpRepeatedly = [&](const QString& path) {
        return [&, path](ClientDatacoreManipulator& manipulator) {
            for (int i = 0; i < 200; ++i) {
                ClientDatacore* datacore = manipulator.requestDatacoreBlocking(path);
                wrongAnswers += !datacore || datacore->fullPath() != path;
            }
        };
    };
    const auto other = startManipulatorThread(m_mirror->registry(), lookUpRepeatedly(LEVELS_PATH));
    QVERIFY(waitForFinished(startManipulatorThread(m_mirror->registry(), lookUpRepeatedly(NAME_PATH)), 30000));
    QVERIFY(waitForFinished(other, 30000));
    QCOMPARE(wrongAnswers.load(), 0);
}

void TestClientDatacoreManipulator::waitEndsWhenConnectionIsLost_data()
{
    QTest::addColumn<QString>("step");
    QTest::newRow("read whose request never got through") << "read";
    QTest::newRow("set the server never confirms") << "set";
    // The registry answers with a datacore, and the connection is lost and the
    // datacore deleted before the manipulator's thread takes the answer: the
    // lookup ends with null, without touching the dead datacore.
    QTest::newRow("lookup answered by a datacore deleted since") << "lookup";
}

void TestClientDatacoreManipulator::waitEndsWhenConnectionIsLost()
{
    QFETCH(QString, step);

    // The server drops the client once the manipulator waits: for a read, once
    // the datacore has swallowed (never got round to) its queued request.
    bool swallowed = false;
    EventFilter swallower([&swallowed](QEvent*) { return swallowed = true; });
    if (step == "read")
        m_mirror->datacore(NAME_PATH)->installEventFilter(&swallower);
    m_server->answersChanges = false;
    QTimer drop;
    connect(&drop, &QTimer::timeout, this, [&] {
        if (swallowed || !m_server->received().isEmpty())
            m_server->closeAll();
    });
    drop.start(10);
    QSemaphore deleted;
    if (step == "lookup") {
        connect(m_mirror->registry(), &ClientDatacoreRegistry::lookupRequestResult, this, [&](ClientDatacore* found) {
            if (!found)
                return;
            emit m_mirror->connection.disconnectedFromHost();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            deleted.release();
        }, Qt::QueuedConnection);
    }

    LogCapture capture;
    bool ok = true;
    DatacoreValue value{{QStringLiteral("stale")}, {}, true};
    const auto thread = startManipulatorThread(m_mirror->registry(), [&](ClientDatacoreManipulator& manipulator) {
        if (step == "read") {
            value = manipulator.getDatacoreValue(NAME_PATH, &ok);
        } else if (step == "set") {
            ok = manipulator.setDatacoreStringListAndWaitForSync(NAME_PATH, {QStringLiteral("gallery")});
        } else {
            // Holds the manipulator's thread at its first queued call, the answer.
            QSemaphore* until = &deleted;
            EventFilter hold([&until](QEvent* event) {
                if (event->type() == QEvent::MetaCall && until)
                    std::exchange(until, nullptr)->acquire();
                return false;
            });
            manipulator.installEventFilter(&hold);
            ok = manipulator.requestDatacoreBlocking(NAME_PATH) != nullptr;
            manipulator.removeEventFilter(&hold);
        }
    });
    const bool finished = waitForFinished(thread, 5000);
    // A lookup still waiting ends with the registry.
    if (!finished)
        m_mirror.reset();
    QVERIFY(finished);
    QVERIFY(!ok && m_mirror->registry()->isEmpty());
    QCOMPARE(value.data.isEmpty(), step == "read");
    // Ended by the deletion, not by the five-second limit, and still reported as unconfirmed.
    QCOMPARE(capture.count(spdlog::level::info, QStringLiteral("Datacore deleted while waiting for sync")),
             int(step == "set"));
    QCOMPARE(capture.count(QStringLiteral("No sync, bad")), int(step == "set"));
}

void TestClientDatacoreManipulator::answerKnownByClientIdentifier()
{
    m_server->answersChanges = false;
    ClientDatacore* name = m_mirror->datacore(NAME_PATH);
    QSignalSpy inSync(name, &ClientDatacore::datacoreInSyncWithServer);
    name->setDataString(QStringLiteral("gallery"));
    const QString clientId = m_mirror->connection.clientIdentifier();
    // Another client's change under our packet identifier is applied, but is not the answer.
    m_server->sendToAll(
        DatacorePacket(clientId + "0", 0, QJsonObject{{"name", QJsonObject{{"data", "other"}}}}, NAME_PATH));
    QTRY_COMPARE(name->data(), QStringList{"other"});
    QVERIFY(inSync.isEmpty() && name->outstandingPacketIds() == QList<int>{0});
    m_server->sendToAll(
        DatacorePacket(clientId, 0, QJsonObject{{"name", QJsonObject{{"data", "gallery"}}}}, NAME_PATH));
    QTRY_COMPARE(inSync.count(), 1);
}

// Qt's own event dispatcher rather than GLib's: after delivering a queued
// answer it goes back to sleep unless the manipulator wakes it.
static void useQtEventDispatcher()
{
    qputenv("QT_NO_GLIB", "1");
}
Q_CONSTRUCTOR_FUNCTION(useQtEventDispatcher)

QTEST_GUILESS_MAIN(TestClientDatacoreManipulator)
#include "tst_clientdatacoremanipulator.moc"
