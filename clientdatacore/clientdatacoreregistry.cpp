#include "clientdatacoreregistry.h"

#include "clientdatacore.h"
#include "clientdatacoremonitor.h"
#include "networkconnection.h"
#include "vqlog.h"

#include <QMetaMethod>

#include <algorithm>
#include <utility>
#include <vector>

namespace {
const QString CLIENT_DATACORE_CLASS_NAME = QStringLiteral("ClientDatacore");

// By meta-method rather than by member pointers: Qt then keeps no slot object
// per connection, which counts with one connection per datacore.
const QMetaMethod& updateSignal()
{
    static const QMetaMethod method = QMetaMethod::fromSignal(&ClientDatacore::clientDatacoreHasUpdateForServer);
    return method;
}

const QMetaMethod& monitorSlot()
{
    static const QMetaMethod method = ClientDatacoreMonitor::staticMetaObject.method(
        ClientDatacoreMonitor::staticMetaObject.indexOfSlot("onClientDatacoreUpdated(int,ClientDatacore*)"));
    return method;
}

// Datacores taken out of the registry, deleted once control is back in the
// event loop: a clearing can come from deep inside a call on one of them (a
// send that fails reports the lost connection synchronously), and that call
// must be able to return first. Their signals are blocked meanwhile, so that
// nobody hears from a datacore the registry no longer holds.
class RetiredDatacores : public QObject
{
public:
    RetiredDatacores(std::vector<ClientDatacore*> datacores, QObject* parent)
        : QObject(parent)
        , m_datacores(std::move(datacores))
    {
        for (ClientDatacore* datacore : m_datacores)
            datacore->blockSignals(true);
        deleteLater();
    }

    ~RetiredDatacores() override
    {
        for (ClientDatacore* datacore : m_datacores)
            delete datacore;
    }

private:
    std::vector<ClientDatacore*> m_datacores;
};

} // namespace

ClientDatacoreRegistry::ClientDatacoreRegistry(NetworkConnection* connection, QObject* parent)
    : QObject(parent)
{
    connect(connection, &NetworkConnection::disconnectedFromHost, this, &ClientDatacoreRegistry::onDisconnectedFromServer);
}

ClientDatacoreRegistry::~ClientDatacoreRegistry()
{
    // The retired datacores are children, deleted with the registry.
    clear();
}

ClientDatacore* ClientDatacoreRegistry::lookupDatacore(const QString& path) const
{
    return m_datacores.find(path);
}

void ClientDatacoreRegistry::requestLookupDatacoreFromPath(QString path) const
{
    emit lookupRequestResult(lookupDatacore(path));
}

void ClientDatacoreRegistry::createDatacores(const QStringList& paths, ClientDatacoreMonitor* monitor)
{
    if (!isEmpty())
        return;
    m_datacores.reserve(paths.size());

    for (const QString& path : paths) {
        if (path.endsWith(QLatin1Char('/'))) {
            VqLog::warn("Cannot create datacore with incomplete path: {}", path);
            continue;
        }
        const int delimiter = path.lastIndexOf(QLatin1Char('/'));
        if (delimiter < 0)
            VqLog::warn("No delimiter, assuming root datacore and creating ClientDatacore for: {}", path);

        // One search serves both the test for a repeated path and the insertion.
        ClientDatacore*& registered = m_datacores.findOrInsert(path);
        if (registered) {
            // The first datacore of a path stays; a second one could never be
            // found or fed, so it is not created at all.
            VqLog::warn("ClientDatacoreRegistry: Cannot create two cores for path '{}'.", path);
            continue;
        }
        const QString name = delimiter < 0 ? path : path.mid(delimiter + 1);
        registered = new ClientDatacore(CLIENT_DATACORE_CLASS_NAME, name, nullptr, path);
        connect(registered, updateSignal(), monitor, monitorSlot(), Qt::DirectConnection);
    }
    emit registryHasBeenPopulated();
}

bool ClientDatacoreRegistry::isAtOrUnder(const QString& path, const QString& prefix)
{
    return prefix.isEmpty()
        || (path.startsWith(prefix) && (path.size() == prefix.size() || path.at(prefix.size()) == QLatin1Char('/')));
}

QStringList ClientDatacoreRegistry::paths(const QString& prefix) const
{
    QStringList paths;
    paths.reserve(prefix.isEmpty() ? count() : 0);
    for (const ClientDatacore* datacore : m_datacores.datacores()) {
        if (isAtOrUnder(datacore->fullPath(), prefix))
            paths.append(datacore->fullPath());
    }
    // Sorted after the selection: a subtree of a large tree sorts quickly.
    std::sort(paths.begin(), paths.end());
    return paths;
}

void ClientDatacoreRegistry::onDisconnectedFromServer()
{
    clear();
}

void ClientDatacoreRegistry::clear()
{
    if (isEmpty())
        return;
    // Taken out of the index first, so that nothing reached from a destructor
    // can find a datacore that is being deleted.
    std::vector<ClientDatacore*> datacores = m_datacores.datacores();
    m_datacores.clear();
    std::sort(datacores.begin(), datacores.end(),
              [](const ClientDatacore* a, const ClientDatacore* b) { return a->fullPath() < b->fullPath(); });
    new RetiredDatacores(std::move(datacores), this);
    emit registryHasBeenCleared();
}
