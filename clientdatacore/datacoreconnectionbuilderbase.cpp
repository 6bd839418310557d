#include "datacoreconnectionbuilderbase.h"

#include "clientdatacore.h"
#include "clientdatacoreregistry.h"
#include "vqlog.h"

DatacoreConnectionBuilderBase::DatacoreConnectionBuilderBase(ClientDatacoreRegistry* registry, QObject* parent)
    : QObject(parent)
    , m_registry(registry)
    , m_configRouter(QStringLiteral("configCoreRouter"))
    , m_statusRouter(QStringLiteral("statusCoreRouter"))
    , m_commandRouter(QStringLiteral("commandCoreRouter"))
    , m_persistentConfigRouter(QStringLiteral("persistentConfigCoreRouter"))
{
    connect(registry, &ClientDatacoreRegistry::registryHasBeenCleared, this,
            &DatacoreConnectionBuilderBase::onRegistryCleared);
    connect(registry, &ClientDatacoreRegistry::registryHasBeenPopulated, this,
            &DatacoreConnectionBuilderBase::onRegistryPopulated);
}

DatacoreConnectionBuilderBase::~DatacoreConnectionBuilderBase() = default;

ClientDatacore* DatacoreConnectionBuilderBase::lookupServerDatacore(const QString& relativePath, ServerSideDatatree tree)
{
    const QString* router = nullptr;
    switch (tree) {
    case ServerSideDatatree::ConfigTree:
        router = &m_configRouter;
        break;
    case ServerSideDatatree::StatusTree:
        router = &m_statusRouter;
        break;
    case ServerSideDatatree::CommandTree:
        router = &m_commandRouter;
        break;
    case ServerSideDatatree::PersistentConfigTree:
        router = &m_persistentConfigRouter;
        break;
    case ServerSideDatatree::InvalidTree:
        break;
    }
    if (!router) {
        VqLog::error("Invalid server side datatree specified");
        return nullptr;
    }

    ClientDatacore* datacore = m_registry->lookupDatacore(*router + QLatin1Char('/') + relativePath);
    if (!datacore) {
        VqLog::warn("Invalid path, constructed from {} and {}", *router, relativePath);
        return nullptr;
    }
    m_connectedDatacores.push_back(datacore);
    return datacore;
}

void DatacoreConnectionBuilderBase::populateConnectedDatacores()
{
    for (ClientDatacore* datacore : m_connectedDatacores)
        datacore->populateConnectedGuiElements();
}

void DatacoreConnectionBuilderBase::onRegistryCleared()
{
    // The registry has deleted the datacores already.
    m_connectedDatacores.clear();
    emit connectionToDatacoresLost();
}

void DatacoreConnectionBuilderBase::onRegistryPopulated()
{
    buildConnections();
    emit connectionToDatacoresGained();
}
