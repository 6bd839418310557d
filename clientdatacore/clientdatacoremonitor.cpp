#include "clientdatacoremonitor.h"

#include "clientdatacore.h"
#include "datacorepacket.h"
#include "networkconnection.h"

ClientDatacoreMonitor::ClientDatacoreMonitor(NetworkConnection* connection, QObject* parent)
    : QObject(parent)
    , m_connection(connection)
{
}

void ClientDatacoreMonitor::onClientDatacoreUpdated(int packetIdentifier, ClientDatacore* datacore)
{
    if (!datacore || datacore->changeState() != DatacoreChangeState::ChangedLocally)
        return;

    QJsonObject datacoreJson;
    std::list<DatacoreJsonMessage> messages;
    datacore->serialise(QString(), datacoreJson, true, false, messages);
    m_connection->acceptPacket(
        DatacorePacket(m_connection->clientIdentifier(), packetIdentifier, datacoreJson, datacore->fullPath()));
}
