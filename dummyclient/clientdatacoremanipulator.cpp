#include "clientdatacoremanipulator.h"

#include "clientdatacore.h"
#include "clientdatacoreregistry.h"
#include "vqlog.h"

#include <QCoreApplication>
#include <QDateTime>
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

} // namespace

// What the event-loop thread, which alone deletes the registry and the
// datacores, tells the manipulator's thread about them. Every use of one of
// them from the manipulator's thread (connecting, emitting into a queued
// connection to it) happens under the mutex after checking here that it is
// alive; the deletion reports take the same mutex from inside destroyed(), so
// nothing is torn down in the middle of such a use. A datacore gets a new
// serial each time it is first seen, so that a new datacore at the address of
// a deleted one is not taken for it. std::mutex, not QMutex: the instrumented
// lock is what makes the ordering visible to ThreadSanitizer.
class ClientDatacoreManipulator::Lifetimes
{
public:
    // Event-loop thread, for every answer the registry gives.
    static void watch(const std::shared_ptr<Lifetimes>& self, ClientDatacore* datacore)
    {
        if (!datacore)
            return;
        {
            std::lock_guard<std::mutex> lock(self->mutex);
            if (self->datacores.contains(datacore))
                return;
            self->datacores.insert(datacore, ++self->lastSerial);
        }
        const std::weak_ptr<Lifetimes> weak = self;
        QObject::connect(datacore, &QObject::destroyed, [weak](QObject* object) {
            if (const std::shared_ptr<Lifetimes> lifetimes = weak.lock()) {
                std::lock_guard<std::mutex> lock(lifetimes->mutex);
                lifetimes->datacores.remove(object);
            }
        });
    }

    // The caller holds the mutex; 0 for a datacore that is not alive.
    quint64 serialOf(const QObject* datacore) const { return datacores.value(datacore, 0); }

    std::mutex mutex;
    bool registryAlive = true;
    QHash<const QObject*, quint64> datacores;
    quint64 lastSerial = 0;
};

ClientDatacoreManipulator::ClientDatacoreManipulator(ClientDatacoreRegistry* registry, QObject* parent)
    : QObject(parent)
    , m_registry(registry)
    , m_lifetimes(std::make_shared<Lifetimes>())
{
    ClientDatacore::registerMetaTypes();
    if (!registry) {
        m_lifetimes->registryAlive = false;
        return;
    }
    const std::shared_ptr<Lifetimes> lifetimes = m_lifetimes;
    // Before the queued answer is connected: a datacore must be known alive by
    // the time its answer can reach this thread.
    connect(registry, &ClientDatacoreRegistry::lookupRequestResult, this,
            [lifetimes](ClientDatacore* datacore) { Lifetimes::watch(lifetimes, datacore); }, Qt::DirectConnection);
    connect(registry, &QObject::destroyed, this, [lifetimes] {
        std::lock_guard<std::mutex> lock(lifetimes->mutex);
        lifetimes->registryAlive = false;
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
}

bool ClientDatacoreManipulator::canAnswerPendingLookup(const ClientDatacore* datacore) const
{
    if (!datacore)
        return true;
    std::lock_guard<std::mutex> lock(m_lifetimes->mutex);
    // A deleted datacore means a cleared registry, which is an answer too.
    return m_lifetimes->serialOf(datacore) == 0 || datacore->fullPath() == m_pendingPath;
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
        std::lock_guard<std::mutex> lock(m_lifetimes->mutex);
        if (!m_lifetimes->registryAlive)
            return nullptr;
        emit requestDatacore(path);
    }
    m_lookupPending = true;
    bool registryAlive = true;
    while (!m_datacoreReceived && registryAlive) {
        QCoreApplication::processEvents();
        std::lock_guard<std::mutex> lock(m_lifetimes->mutex);
        registryAlive = m_lifetimes->registryAlive;
    }
    m_lookupPending = false;
    if (!m_datacoreReceived || !m_requestedDatacore)
        return nullptr;

    std::lock_guard<std::mutex> lock(m_lifetimes->mutex);
    const quint64 serial = m_lifetimes->serialOf(m_requestedDatacore);
    if (serial == 0)
        return nullptr;
    m_currentDatacore = m_requestedDatacore;
    m_currentSerial = serial;
    return m_currentDatacore;
}

bool ClientDatacoreManipulator::isCurrentDatacoreAliveLocked() const
{
    return m_currentSerial != 0 && m_lifetimes->serialOf(m_currentDatacore) == m_currentSerial;
}

bool ClientDatacoreManipulator::isCurrentDatacoreAlive() const
{
    std::lock_guard<std::mutex> lock(m_lifetimes->mutex);
    return isCurrentDatacoreAliveLocked();
}

bool ClientDatacoreManipulator::setDatacoreString(const QString& path, const QString& value)
{
    ClientDatacore* datacore = requestDatacoreBlocking(path);
    if (!datacore)
        return false;
    std::lock_guard<std::mutex> lock(m_lifetimes->mutex);
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
        std::lock_guard<std::mutex> lock(m_lifetimes->mutex);
        if (!isCurrentDatacoreAliveLocked())
            return DatacoreValue();
        updates = connect(datacore, &ClientDatacore::datacoreUpdated, this,
                          &ClientDatacoreManipulator::receiveDatacoreValue, Qt::QueuedConnection);
        request = connect(this, &ClientDatacoreManipulator::requestDatacoreUpdate, datacore,
                          &ClientDatacore::populateConnectedGuiElements, Qt::QueuedConnection);
        emit requestDatacoreUpdate();
    }
    // A deleted datacore drops the queued request: its answer will never come.
    while (!m_valueReceived && isCurrentDatacoreAlive())
        QCoreApplication::processEvents();
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
        std::lock_guard<std::mutex> lock(m_lifetimes->mutex);
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
