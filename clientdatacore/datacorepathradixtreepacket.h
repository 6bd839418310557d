#pragma once

#include "datacorepathradixtreenode.h"
#include "serialisabledatapacket.h"

class DatacoreBase;

// The JSON packet in which the server announces its four trees of datacore
// names (configuration, status, command, persistent configuration), each
// rooted at the router datacore of its kind. The writers serve the sending
// side; this client only reads.
class DatacorePathRadixTreePacket : public SerialisableDataPacket
{
public:
    static const QString CLASS_NAME;

    DatacorePathRadixTreePacket();
    explicit DatacorePathRadixTreePacket(const QString& className);

    void setClientId(const QString& clientId);
    QString clientId() const;
    bool hasClientId() const;

    void setConfigTree(const DatacoreBase& root);
    void setStatusTree(const DatacoreBase& root);
    void setCommandTree(const DatacoreBase& root);
    void setPersistentConfigTree(const DatacoreBase& root);

    // A missing tree reads as a root with an empty name and no children.
    DatacorePathRadixTreeNode configTree() const;
    DatacorePathRadixTreeNode statusTree() const;
    DatacorePathRadixTreeNode commandTree() const;
    DatacorePathRadixTreeNode persistentConfigTree() const;
    // Every path of the four trees, in that order, each tree depth first.
    QStringList paths() const;

    bool hasConfigTree() const;
    bool hasStatusTree() const;
    bool hasCommandTree() const;
    bool hasPersistentConfigTree() const;

private:
    void setTree(const QString& key, const DatacoreBase& root);
    DatacorePathRadixTreeNode tree(const QString& key) const;
    bool hasTree(const QString& key) const;
};
