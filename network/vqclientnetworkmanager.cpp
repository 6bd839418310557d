#include "vqclientnetworkmanager.h"

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
    m_retryTimer.start(RETRY_INTERVAL_MS);
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
        m_retryTimer.start(RETRY_INTERVAL_MS);
}
