#include "clientdatacoremanipulator.h"

#include "clientdatacore.h"
#include "clientdatacoreregistry.h"
#include "vqlog.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QHash>

#include <mutex>
#include <time.h>

namespace {

constexpr qint64 OUT_OF_SYNC_LIMIT_MS = 1000;
constexpr qint64 IN_SYNC_LIMIT_MS = 5000;
constexpr long SYNC_POLL_STEP_NS = 50000000;

void sleepOnePollStep()
{
    const timespec step{0, SYNC_POLL_STEP_NS};
    ::nanosleep(&step, nullptr);
}

// Which of the registries and datacores that manipulators deal with have not
// been deleted yet. The event-loop thread, which alone deletes them, reports
// each deletion from inside destroyed() under the mutex; a manipulator's
// thread uses one of them (connects to it, emits into a queued connection to
// it) only under the same mutex after checking here that it is alive, so
// nothing is torn down in the middle of such a use. An object gets a new
// serial each time it starts being tracked, so that a new object at the
// address of a deleted one is not taken for it.
//
// Process-wide, and reached by connections without captures, so that the
// event-loop thread never reads memory that a manipulator's thread made and
// handed over through a Qt connection: Qt orders that with locks that
// ThreadSanitizer cannot see, and std::mutex is used for the same reason.
class LiveObjects
{
public:
    static std::mutex& mutex()
    {
        static std::mutex mutex;
        return mutex;
    }

    // name is what a manipulator's thread may want to know of the object:
    // it is recorded here, on the event-loop thread, because the object
    // itself must not be read from another thread, which cannot know
    // whether it is being destroyed at that moment.
    static void track(QObject* object, const QString& name = QString())
    {
        {
            std::lock_guard<std::mutex> lock(mutex());
            if (tracked().contains(object))
                return;
            static quint64 lastSerial = 0;
            tracked().insert(object, Tracked{++lastSerial, name});
        }
        QObject::connect(object, &QObject::destroyed, &LiveObjects::forget);
    }

    // The caller holds mutex(); 0 for an object that is not alive.
    static quint64 serialOf(const QObject* object) { return tracked().value(object).serial; }
    // The caller holds mutex(); empty for an object that is not alive.
    static QString nameOf(const QObject* object) { return tracked().value(object).name; }

    // For its lifetime, every deletion wakes the calling thread's event
    // dispatcher: a thread that sleeps until its next event while it waits on
    // a tracked object gets no event of its own when the object goes.
    class WakeOnDeletion
    {
    public:
        WakeOnDeletion()
            : m_dispatcher(QAbstractEventDispatcher::instance())
        {
            std::lock_guard<std::mutex> lock(mutex());
            ++sleepers()[m_dispatcher];
        }
        ~WakeOnDeletion()
        {
            std::lock_guard<std::mutex> lock(mutex());
            if (--sleepers()[m_dispatcher] == 0)
                sleepers().remove(m_dispatcher);
        }
        WakeOnDeletion(const WakeOnDeletion&) = delete;
        WakeOnDeletion& operator=(const WakeOnDeletion&) = delete;

    private:
        QAbstractEventDispatcher* m_dispatcher;
    };

private:
    struct Tracked
    {
        quint64 serial = 0;
        QString name;
    };

    static void forget(QObject* object)
    {
        std::lock_guard<std::mutex> lock(mutex());
        tracked().remove(object);
        for (auto it = sleepers().cbegin(); it != sleepers().cend(); ++it)
            it.key()->wakeUp();
    }

    static QHash<QAbstractEventDispatcher*, int>& sleepers()
    {
        static QHash<QAbstractEventDispatcher*, int> sleepers;
        return sleepers;
    }

    static QHash<const QObject*, Tracked>& tracked()
    {
        static QHash<const QObject*, Tracked> tracked;
        return tracked;
    }
};

} // namespace

ClientDatacoreManipulator::ClientDatacoreManipulator(ClientDatacoreRegistry* registry, QObject* parent)
    : QObject(parent)
    , m_registry(registry)
{
    ClientDatacore::registerMetaTypes();
    // A thread started outside Qt (std::thread) has no event dispatcher until
    // an event loop is made; without one processEvents() would deliver no answer.
    if (!QAbstractEventDispatcher::instance())
        QEventLoop createsTheDispatcher;
    if (!registry)
        return;
    LiveObjects::track(registry);
    {
        std::lock_guard<std::mutex> lock(LiveObjects::mutex());
        m_registrySerial = LiveObjects::serialOf(registry);
    }
    // Before the queued answer is connected: a datacore must be known alive by
    // the time its answer can reach this thread.
    connect(registry, &ClientDatacoreRegistry::lookupRequestResult, this, [](ClientDatacore* datacore) {
        if (datacore)
            LiveObjects::track(datacore, datacore->fullPath());
    }, Qt::DirectConnection);

    connect(this, &ClientDatacoreManipulator::requestDatacore, registry,
            &ClientDatacoreRegistry::requestLookupDatacoreFromPath, Qt::QueuedConnection);
    connect(registry, &ClientDatacoreRegistry::lookupRequestResult, this,
            &ClientDatacoreManipulator::receiveRequestedDatacore, Qt::QueuedConnection);
}

ClientDatacoreManipulator::~ClientDatacoreManipulator() = default;

void ClientDatacoreManipulator::receiveRequestedDatacore(ClientDatacore* datacore)
{
    // The registry answers every lookup to every manipulator: while a lookup
    // is pending, the first answer that can be its own is taken.
    if (m_lookupPending && (m_datacoreReceived || !canAnswerPendingLookup(datacore)))
        return;
    m_requestedDatacore = datacore;
    m_datacoreReceived = true;
    stopWaitingForEvents();
}

bool ClientDatacoreManipulator::canAnswerPendingLookup(const ClientDatacore* datacore) const
{
    if (!datacore)
        return true;
    std::lock_guard<std::mutex> lock(LiveObjects::mutex());
    // A deleted datacore means a cleared registry, which is an answer too.
    return LiveObjects::serialOf(datacore) == 0 || LiveObjects::nameOf(datacore) == m_pendingPath;
}

void ClientDatacoreManipulator::receiveDatacoreValue(QStringList data, QStringList validationMessages, bool isActive)
{
    const QObject* from = sender();
    if (from && from != m_currentDatacore)
        return;
    m_data = data;
    m_validationMessages = validationMessages;
    m_isActive = isActive;
    m_valueReceived = true;
    stopWaitingForEvents();
}

void ClientDatacoreManipulator::receiveDatacoreOutOfSync()
{
    m_outOfSyncReceived = true;
}

void ClientDatacoreManipulator::receiveDatacoreInSync()
{
    m_inSyncReceived = true;
}

ClientDatacore* ClientDatacoreManipulator::requestDatacoreBlocking(const QString& path)
{
    m_datacoreReceived = false;
    m_requestedDatacore = nullptr;
    m_currentDatacore = nullptr;
    m_currentSerial = 0;
    m_pendingPath = path;
    {
        std::lock_guard<std::mutex> lock(LiveObjects::mutex());
        if (!isRegistryAliveLocked())
            return nullptr;
        emit requestDatacore(path);
    }
    m_lookupPending = true;
    {
        const LiveObjects::WakeOnDeletion wake;
        while (!m_datacoreReceived && isRegistryAlive())
            waitForEvents();
    }
    m_lookupPending = false;
    if (!m_datacoreReceived || !m_requestedDatacore)
        return nullptr;

    std::lock_guard<std::mutex> lock(LiveObjects::mutex());
    const quint64 serial = LiveObjects::serialOf(m_requestedDatacore);
    if (serial == 0)
        return nullptr;
    m_currentDatacore = m_requestedDatacore;
    m_currentSerial = serial;
    return m_currentDatacore;
}

void ClientDatacoreManipulator::waitForEvents()
{
    // Sleeps rather than spins until an answer, or a deletion, wakes it.
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void ClientDatacoreManipulator::stopWaitingForEvents()
{
    // Having delivered the answer, processEvents() would otherwise go on to
    // sleep until some other event came.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->interrupt();
}

bool ClientDatacoreManipulator::isRegistryAlive() const
{
    std::lock_guard<std::mutex> lock(LiveObjects::mutex());
    return isRegistryAliveLocked();
}

bool ClientDatacoreManipulator::isRegistryAliveLocked() const
{
    return m_registrySerial != 0 && LiveObjects::serialOf(m_registry) == m_registrySerial;
}

bool ClientDatacoreManipulator::isCurrentDatacoreAliveLocked() const
{
    return m_currentSerial != 0 && LiveObjects::serialOf(m_currentDatacore) == m_currentSerial;
}

bool ClientDatacoreManipulator::isCurrentDatacoreAlive() const
{
    std::lock_guard<std::mutex> lock(LiveObjects::mutex());
    return isCurrentDatacoreAliveLocked();
}

bool ClientDatacoreManipulator::setDatacoreString(const QString& path, const QString& value)
{
    ClientDatacore* datacore = requestDatacoreBlocking(path);
    if (!datacore)
        return false;
    std::lock_guard<std::mutex> lock(LiveObjects::mutex());
    if (!isCurrentDatacoreAliveLocked())
        return false;
    const QMetaObject::Connection setter = connect(this, &ClientDatacoreManipulator::setDatacoreStringValue, datacore,
                                                   &ClientDatacore::setDataString, Qt::QueuedConnection);
    emit setDatacoreStringValue(value);
    disconnect(setter);
    return true;
}

DatacoreValue ClientDatacoreManipulator::getDatacoreValue(const QString& path, bool* ok)
{
    if (ok)
        *ok = false;
    ClientDatacore* datacore = requestDatacoreBlocking(path);
    if (!datacore)
        return DatacoreValue();

    m_valueReceived = false;
    QMetaObject::Connection updates;
    QMetaObject::Connection request;
    {
        std::lock_guard<std::mutex> lock(LiveObjects::mutex());
        if (!isCurrentDatacoreAliveLocked())
            return DatacoreValue();
        updates = connect(datacore, &ClientDatacore::datacoreUpdated, this,
                          &ClientDatacoreManipulator::receiveDatacoreValue, Qt::QueuedConnection);
        request = connect(this, &ClientDatacoreManipulator::requestDatacoreUpdate, datacore,
                          &ClientDatacore::populateConnectedGuiElements, Qt::QueuedConnection);
        emit requestDatacoreUpdate();
    }
    // A deleted datacore drops the queued request: its answer will never come.
    {
        const LiveObjects::WakeOnDeletion wake;
        while (!m_valueReceived && isCurrentDatacoreAlive())
            waitForEvents();
    }
    // Safe on connections whose datacore is gone: they are already broken.
    disconnect(updates);
    disconnect(request);
    if (!m_valueReceived)
        return DatacoreValue();

    if (ok)
        *ok = true;
    return DatacoreValue{m_data, m_validationMessages, m_isActive};
}

bool ClientDatacoreManipulator::setDatacoreStringListAndWaitForSync(const QString& path, const QStringList& value)
{
    ClientDatacore* datacore = requestDatacoreBlocking(path);
    if (!datacore)
        return false;

    QMetaObject::Connection inSync;
    QMetaObject::Connection outOfSync;
    {
        std::lock_guard<std::mutex> lock(LiveObjects::mutex());
        if (!isCurrentDatacoreAliveLocked())
            return false;
        const QMetaObject::Connection setter =
            connect(this, &ClientDatacoreManipulator::setDatacoreStringListValue, datacore,
                    &ClientDatacore::setDataStringList, Qt::QueuedConnection);
        m_outOfSyncReceived = false;
        m_inSyncReceived = false;
        // Direct: the flags are set on the event-loop thread while this one sleeps.
        inSync = connect(datacore, &ClientDatacore::datacoreInSyncWithServer, this,
                         &ClientDatacoreManipulator::receiveDatacoreInSync, Qt::DirectConnection);
        outOfSync = connect(datacore, &ClientDatacore::datacoreOutOfSyncWithServer, this,
                            &ClientDatacoreManipulator::receiveDatacoreOutOfSync, Qt::DirectConnection);
        emit setDatacoreStringListValue(value);
        disconnect(setter);
    }
    VqLog::info("Set datacore, waiting for out of sync");

    SyncWait wait = waitForSyncFlag(m_outOfSyncReceived, OUT_OF_SYNC_LIMIT_MS);
    disconnect(outOfSync);
    if (!m_outOfSyncReceived && wait == SyncWait::TimedOut) {
        disconnect(inSync);
        // A setter that stores the value already held changes nothing and signals nothing.
        VqLog::info("No out of sync, assuming no change");
        return true;
    }
    if (m_outOfSyncReceived)
        wait = waitForSyncFlag(m_inSyncReceived, IN_SYNC_LIMIT_MS);
    disconnect(inSync);

    switch (wait) {
    case SyncWait::Received:
        VqLog::info("In sync, all good");
        return true;
    case SyncWait::TimedOut:
        VqLog::info("No sync, bad");
        return false;
    case SyncWait::DatacoreDeleted:
        break;
    }
    VqLog::info("Datacore deleted while waiting for sync");
    // Whoever watches for unconfirmed sets looks for this line.
    VqLog::info("No sync, bad");
    return false;
}

ClientDatacoreManipulator::SyncWait ClientDatacoreManipulator::waitForSyncFlag(const std::atomic<bool>& flag,
                                                                               qint64 limitMs) const
{
    const qint64 start = QDateTime::currentMSecsSinceEpoch();
    while (!flag) {
        if (QDateTime::currentMSecsSinceEpoch() >= start + limitMs)
            return SyncWait::TimedOut;
        if (!isCurrentDatacoreAlive())
            return SyncWait::DatacoreDeleted;
        sleepOnePollStep();
    }
    return SyncWait::Received;
}
