#pragma once

#include <QHash>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class DatacoreBase;

// The stand-in server's datacores: four router trees built from a JSON
// description, addressed by full path. It validates what clients set the way
// the instrument's server does for the datacores a test client touches:
// booleans through DatacoreBool, the IGMP maximum version accepting 1 to 3
// (anything else keeps the value and attaches a reason for being invalid),
// every other datacore taking any text. It knows nothing of connections.
//
// Description: an object with one key per router ("configCoreRouter", ...);
// every node is an object that may hold the datacore JSON elements ("class",
// "data", "reasonsForBeingInvalid", "reasonsForBeingInactive"); every other
// key whose value is an object is a child. "class" "DatacoreBool" makes a
// boolean datacore and "DatacoreIgmpVersion" the validated IGMP version.
class ServerDatacoreTree
{
public:
    static const QStringList ROUTER_NAMES;
    static const QString SERIAL_NUMBER_PATH;
    static const QString IGMP_MAX_VERSION_PATH;

    ServerDatacoreTree();
    ~ServerDatacoreTree();
    ServerDatacoreTree(const ServerDatacoreTree&) = delete;
    ServerDatacoreTree& operator=(const ServerDatacoreTree&) = delete;

    // Replaces the tree. On false, error says why and the tree is left empty.
    bool load(const QJsonObject& description, QString* error);
    // Adds count synthetic datacores under the four routers (paths of 2 to 6 names).
    void addSyntheticDatacores(int count);

    DatacoreBase* router(int index) const;
    DatacoreBase* datacore(const QString& path) const { return m_byPath.value(path, nullptr); }
    // Every path, each router's subtree in depth-first order, parents first.
    const QStringList& paths() const { return m_paths; }
    int count() const { return m_paths.size(); }

    // The datacore's JSON as the server sends it: class, data and reasons, no children.
    QJsonObject datacoreJson(const QString& path) const;
    // The JSON of the path tree packet, without a "ClientId". Made once: the
    // paths do not change after loading, and a large tree costs to write.
    const QJsonObject& pathTreeJson() const;

    // Applies a client's data-only datacore JSON. False for an unknown path or
    // JSON that does not name the datacore; the datacore is unchanged then.
    bool applyClientChange(const QString& path, const QJsonObject& datacoreJson);

private:
    DatacoreBase* addNode(const QString& name, const QJsonObject& node, DatacoreBase* parent, const QString& path);
    DatacoreBase* add(std::unique_ptr<DatacoreBase> datacore, const QString& path);
    void clear();

    std::vector<std::unique_ptr<DatacoreBase>> m_datacores;
    std::vector<DatacoreBase*> m_routers;
    QHash<QString, DatacoreBase*> m_byPath;
    QStringList m_paths;
    mutable QJsonObject m_pathTreeJson;
};
