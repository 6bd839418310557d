#include "clientdatacoreregistry.h"

#include "clientdatacore.h"
#include "clientdatacoremonitor.h"
#include "networkconnection.h"
#include "vqlog.h"

#include <utility>

namespace {
const QString CLIENT_DATACORE_CLASS_NAME = QStringLiteral("ClientDatacore");
}

ClientDatacoreRegistry::ClientDatacoreRegistry(NetworkConnection* connection, QObject* parent)
    : QObject(parent)
{
    connect(connection, &NetworkConnection::disconnectedFromHost, this, &ClientDatacoreRegistry::onDisconnectedFromServer);
}

ClientDatacoreRegistry::~ClientDatacoreRegistry()
{
    clear();
}

ClientDatacore* ClientDatacoreRegistry::lookupDatacore(const QString& path) const
{
    return m_index.value(path, nullptr);
}

void ClientDatacoreRegistry::requestLookupDatacoreFromPath(QString path) const
{
    emit lookupRequestResult(lookupDatacore(path));
}

void ClientDatacoreRegistry::createDatacores(const QStringList& paths, ClientDatacoreMonitor* monitor)
{
    if (!m_datacores.isEmpty())
        return;
    m_index.reserve(paths.size());

    for (const QString& path : paths) {
        if (path.endsWith(QLatin1Char('/'))) {
            VqLog::warn("Cannot create datacore with incomplete path: {}", path);
            continue;
        }
        const int delimiter = path.lastIndexOf(QLatin1Char('/'));
        if (delimiter < 0)
            VqLog::warn("No delimiter, assuming root datacore and creating ClientDatacore for: {}", path);

        // One search serves both the test for a repeated path and the insertion.
        const auto position = m_datacores.lowerBound(path);
        if (position != m_datacores.end() && position.key() == path) {
            // The first datacore of a path stays; a second one could never be
            // found or fed, so it is not created at all.
            VqLog::warn("ClientDatacoreRegistry: Cannot create two cores for path '{}'.", path);
            continue;
        }
        const QString name = delimiter < 0 ? path : path.mid(delimiter + 1);
        auto* datacore = new ClientDatacore(CLIENT_DATACORE_CLASS_NAME, name, nullptr, path);
        m_datacores.insert(position, path, datacore);
        m_index.insert(path, datacore);
        connect(datacore, &ClientDatacore::clientDatacoreHasUpdateForServer, monitor,
                &ClientDatacoreMonitor::onClientDatacoreUpdated, Qt::DirectConnection);
    }
    emit registryHasBeenPopulated();
}

void ClientDatacoreRegistry::onDisconnectedFromServer()
{
    clear();
}

void ClientDatacoreRegistry::clear()
{
    if (m_datacores.isEmpty())
        return;
    // Taken out of the maps first, so that nothing reached from a destructor
    // can find a datacore that is being deleted.
    m_index.clear();
    const QMap<QString, ClientDatacore*> datacores = std::exchange(m_datacores, {});
    for (ClientDatacore* datacore : datacores)
        delete datacore;
    emit registryHasBeenCleared();
}
