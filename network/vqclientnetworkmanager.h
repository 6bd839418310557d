#pragma once

#include "networkconnection.h"

#include <QHostAddress>
#include <QObject>
#include <QTimer>

// Keeps the client connected to its server: owns the one NetworkConnection,
// tries to connect every 2000 ms until an attempt succeeds, and starts trying
// again after a loss when automatic reconnection is on. It reports through
// signals only and logs nothing; the port is fixed.
class VqClientNetworkManager : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 SERVER_PORT = 29440;
    static constexpr int RETRY_INTERVAL_MS = 2000;

    explicit VqClientNetworkManager(QObject* parent = nullptr);
    ~VqClientNetworkManager() override;

    // A new address is always tried, 2000 ms from now, whatever autoConnect says.
    void setHostAddress(const QHostAddress& address, bool autoConnect);
    NetworkConnection* connection() { return &m_connection; }

signals:
    void connectedToServer();
    void connectionToServerLost();
    void reconnectAttemptFailed();
    void newHostAddressSet(QString hostAddress);
    void newAutoConnectStateSet(bool autoConnect);

private slots:
    void onRetryTimerTimeout();
    void onNetworkConnectionDisconnectedFromHost();

private:
    // Off until an address is given, so the first setHostAddress(..., true)
    // announces the flag.
    bool m_autoConnect = false;
    // No parent: it lives in the thread that builds the manager, which stays there.
    QTimer m_retryTimer;
    QHostAddress m_hostAddress;
    NetworkConnection m_connection;
};
