#pragma once

#include "clientdatacorepathindex.h"

#include <QObject>
#include <QString>
#include <QStringList>

class ClientDatacore;
class ClientDatacoreMonitor;
class NetworkConnection;

// Owns the client's datacores, one per server path, and finds them by full
// path (exact, case-sensitive). It is filled once per connection from the
// server's path tree and emptied when the connection is lost; everyone else
// holding a ClientDatacore* must drop it on registryHasBeenCleared().
//
// A loss of the connection can be reported from inside a call on one of the
// datacores (a failed send), so the datacores it clears are deleted once
// control is back in the event loop (or with the registry, if that comes
// first), in ascending path order; from the clearing on they emit nothing
// and nothing finds them.
class ClientDatacoreRegistry : public QObject
{
    Q_OBJECT

public:
    ClientDatacoreRegistry(NetworkConnection* connection, QObject* parent = nullptr);
    ~ClientDatacoreRegistry() override;

    ClientDatacore* lookupDatacore(const QString& path) const;
    bool isEmpty() const { return m_datacores.count() == 0; }
    int count() const { return m_datacores.count(); }
    // In ascending order; with a prefix, only the paths equal to it or below
    // it ("a/b" is below "a", "ab" is not).
    QStringList paths(const QString& prefix = QString()) const;
    // Whether path is prefix or below it, as paths() selects (any path for an empty prefix).
    static bool isAtOrUnder(const QString& path, const QString& prefix);

    // Creates one datacore per path, each connected to the monitor, then emits
    // registryHasBeenPopulated(). Does nothing while datacores exist.
    void createDatacores(const QStringList& paths, ClientDatacoreMonitor* monitor);

signals:
    void lookupRequestResult(ClientDatacore* datacore) const;
    void registryHasBeenCleared() const;
    void registryHasBeenPopulated() const;

private slots:
    void onDisconnectedFromServer();

public slots:
    // Answers with lookupRequestResult(), found or not, to every listener.
    void requestLookupDatacoreFromPath(QString path) const;

private:
    void clear();

    // Owner. A hash serves the look-up by the path of each received packet
    // better than a walk past many long, alike paths in a tree of nodes
    // scattered over the heap; the path order that deletion and paths() need
    // is made when asked for, which is rare.
    ClientDatacorePathIndex m_datacores;
};
