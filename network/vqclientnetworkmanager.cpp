#include "vqclientnetworkmanager.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

namespace {

const QEvent::Type ADOPT_RETRY_TIMER = QEvent::Type(QEvent::registerEventType());

} // namespace

VqClientNetworkManager::VqClientNetworkManager(QObject* parent)
    : QObject(parent)
    , m_connection(this)
{
    m_retryTimer.setSingleShot(false);
    connect(&m_retryTimer, &QTimer::timeout, this, &VqClientNetworkManager::onRetryTimerTimeout);
    connect(&m_connection, &NetworkConnection::disconnectedFromHost, this,
            &VqClientNetworkManager::onNetworkConnectionDisconnectedFromHost);
}

VqClientNetworkManager::~VqClientNetworkManager() = default;

// A thread change is announced in the old thread, without the new one. The
// timer is stopped and left without a thread there; an event posted to this
// object travels with it and takes the timer up in the new thread.
bool VqClientNetworkManager::event(QEvent* event)
{
    if (event->type() == QEvent::ThreadChange) {
        if (m_retryTimer.thread()) {
            m_retryTimerWasActive = m_retryTimer.isActive();
            m_retryTimer.stop();
            m_retryTimer.moveToThread(nullptr);
        }
        QCoreApplication::postEvent(this, new QEvent(ADOPT_RETRY_TIMER));
    } else if (event->type() == ADOPT_RETRY_TIMER) {
        adoptRetryTimer();
    }
    return QObject::event(event);
}

void VqClientNetworkManager::adoptRetryTimer()
{
    if (m_retryTimer.thread() == thread())
        return;
    m_retryTimer.moveToThread(thread());
    if (m_retryTimerWasActive)
        m_retryTimer.start(RETRY_INTERVAL_MS);
    m_retryTimerWasActive = false;
}

// Calls posted to this object before a move run in the new thread ahead of the
// hand-over event, so the timer is taken up here too.
void VqClientNetworkManager::startRetryTimer()
{
    adoptRetryTimer();
    m_retryTimer.start(RETRY_INTERVAL_MS);
}

void VqClientNetworkManager::setHostAddress(const QHostAddress& address, bool autoConnect)
{
    if (autoConnect != m_autoConnect) {
        m_autoConnect = autoConnect;
        emit newAutoConnectStateSet(autoConnect);
    }
    if (address == m_hostAddress)
        return;
    m_hostAddress = address;
    emit newHostAddressSet(address.toString());
    m_connection.closeConnection();
    startRetryTimer();
}

void VqClientNetworkManager::onRetryTimerTimeout()
{
    if (m_connection.connectToHost(m_hostAddress, SERVER_PORT)) {
        m_retryTimer.stop();
        emit connectedToServer();
    } else {
        emit reconnectAttemptFailed();
    }
}

void VqClientNetworkManager::onNetworkConnectionDisconnectedFromHost()
{
    emit connectionToServerLost();
    if (m_autoConnect)
        startRetryTimer();
}
