#pragma once

#include <QObject>
#include <QString>

#include <deque>

class ClientDatacore;
class ClientDatacoreRegistry;

enum class ServerSideDatatree : qint32 {
    ConfigTree = 0,
    StatusTree = 1,
    CommandTree = 2,
    PersistentConfigTree = 3,
    InvalidTree = 4,
};

// The common part of the objects that bind a client's consumers to the
// datacores they need: each time the registry has been populated it calls
// buildConnections() and announces connectionToDatacoresGained(); each time
// it has been cleared it forgets every datacore it handed out and announces
// connectionToDatacoresLost(). Paths are looked up relative to the router of
// one of the server's four trees.
class DatacoreConnectionBuilderBase : public QObject
{
    Q_OBJECT

public:
    explicit DatacoreConnectionBuilderBase(ClientDatacoreRegistry* registry, QObject* parent = nullptr);
    ~DatacoreConnectionBuilderBase() override;

    // The datacore at "<router of tree>/<relativePath>", recorded among the
    // connected datacores, or null (with a log line) when there is none.
    virtual ClientDatacore* lookupServerDatacore(const QString& relativePath, ServerSideDatatree tree);
    // Has every datacore handed out since the last clearing emit its current state.
    virtual void populateConnectedDatacores();

    const std::deque<ClientDatacore*>& connectedDatacores() const { return m_connectedDatacores; }

signals:
    void connectionToDatacoresGained();
    void connectionToDatacoresLost();

protected:
    // Each concrete builder looks its datacores up here.
    virtual void buildConnections() = 0;

private slots:
    void onRegistryCleared();
    void onRegistryPopulated();

private:
    ClientDatacoreRegistry* m_registry;
    QString m_configRouter;
    QString m_statusRouter;
    QString m_commandRouter;
    QString m_persistentConfigRouter;
    std::deque<ClientDatacore*> m_connectedDatacores;
};
