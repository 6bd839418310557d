#include "dummyclientdatacoreconnectionbuilder.h"

#include "clientdatacore.h"
#include "dummyclient.h"

DummyClientDatacoreConnectionBuilder::DummyClientDatacoreConnectionBuilder(ClientDatacoreRegistry* registry,
                                                                           QObject* parent)
    : DatacoreConnectionBuilderBase(registry, parent)
{
    connect(this, &DatacoreConnectionBuilderBase::connectionToDatacoresLost, this, [this] {
        m_executorCommander = nullptr;
        m_igmpMaxVersionDatacore = nullptr;
        m_serialNumberDatacore = nullptr;
    });
}

void DummyClientDatacoreConnectionBuilder::buildConnections()
{
    m_executorCommander = lookupServerDatacore(QStringLiteral("executorCommander"), ServerSideDatatree::CommandTree);
    m_igmpMaxVersionDatacore = lookupServerDatacore(
        QStringLiteral("systemController") + QLatin1Char('/') + QStringLiteral("brevEth0IgmpMaxVersion"),
        ServerSideDatatree::ConfigTree);
    m_serialNumberDatacore = lookupServerDatacore(
        QStringLiteral("licenseStatus") + QLatin1Char('/') + QStringLiteral("serialNumber"),
        ServerSideDatatree::StatusTree);
}

void DummyClientDatacoreConnectionBuilder::connectDummyClient(DummyClient* client)
{
    if (!client)
        return;
    if (m_executorCommander) {
        connect(client, &DummyClient::executeCommandWithParameters, m_executorCommander,
                &ClientDatacore::setDataString, Qt::DirectConnection);
    }
    if (m_igmpMaxVersionDatacore) {
        connect(m_igmpMaxVersionDatacore, &ClientDatacore::datacoreUpdated, client,
                &DummyClient::fromConfigCoreIgmpMaxVersionUpdated, Qt::DirectConnection);
        connect(client, &DummyClient::toConfigCoreIgmpMaxVersionUpdated, m_igmpMaxVersionDatacore,
                &ClientDatacore::setDataUint, Qt::DirectConnection);
    }
    if (m_serialNumberDatacore) {
        connect(m_serialNumberDatacore, &ClientDatacore::datacoreUpdated, client,
                &DummyClient::fromStatusCoreLicenseSerialUpdated, Qt::DirectConnection);
    }
}
