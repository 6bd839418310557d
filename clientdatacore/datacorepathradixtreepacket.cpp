#include "datacorepathradixtreepacket.h"

namespace {
const QString CLIENT_ID_KEY = QStringLiteral("ClientId");
const QString CONFIG_TREE_KEY = QStringLiteral("ConfigTreeObject");
const QString STATUS_TREE_KEY = QStringLiteral("StatusTreeObject");
const QString COMMAND_TREE_KEY = QStringLiteral("CommandTreeObject");
const QString PERSISTENT_CONFIG_TREE_KEY = QStringLiteral("PersistentConfigTreeObject");
} // namespace

const QString DatacorePathRadixTreePacket::CLASS_NAME = QStringLiteral("DatacorePathRadixTreePacket");

DatacorePathRadixTreePacket::DatacorePathRadixTreePacket()
    : SerialisableDataPacket(CLASS_NAME)
{
}

DatacorePathRadixTreePacket::DatacorePathRadixTreePacket(const QString& className)
    : SerialisableDataPacket(className)
{
}

void DatacorePathRadixTreePacket::setClientId(const QString& clientId)
{
    jsonObject().insert(CLIENT_ID_KEY, clientId);
}

QString DatacorePathRadixTreePacket::clientId() const
{
    return jsonObject().value(CLIENT_ID_KEY).toString();
}

bool DatacorePathRadixTreePacket::hasClientId() const
{
    return jsonObject().value(CLIENT_ID_KEY).isString();
}

void DatacorePathRadixTreePacket::setConfigTree(const DatacoreBase& root)
{
    setTree(CONFIG_TREE_KEY, root);
}

void DatacorePathRadixTreePacket::setStatusTree(const DatacoreBase& root)
{
    setTree(STATUS_TREE_KEY, root);
}

void DatacorePathRadixTreePacket::setCommandTree(const DatacoreBase& root)
{
    setTree(COMMAND_TREE_KEY, root);
}

void DatacorePathRadixTreePacket::setPersistentConfigTree(const DatacoreBase& root)
{
    setTree(PERSISTENT_CONFIG_TREE_KEY, root);
}

DatacorePathRadixTreeNode DatacorePathRadixTreePacket::configTree() const
{
    return tree(CONFIG_TREE_KEY);
}

DatacorePathRadixTreeNode DatacorePathRadixTreePacket::statusTree() const
{
    return tree(STATUS_TREE_KEY);
}

DatacorePathRadixTreeNode DatacorePathRadixTreePacket::commandTree() const
{
    return tree(COMMAND_TREE_KEY);
}

DatacorePathRadixTreeNode DatacorePathRadixTreePacket::persistentConfigTree() const
{
    return tree(PERSISTENT_CONFIG_TREE_KEY);
}

QStringList DatacorePathRadixTreePacket::paths() const
{
    QStringList paths = flattenPathTree(configTree());
    paths.append(flattenPathTree(statusTree()));
    paths.append(flattenPathTree(commandTree()));
    paths.append(flattenPathTree(persistentConfigTree()));
    return paths;
}

bool DatacorePathRadixTreePacket::hasConfigTree() const
{
    return hasTree(CONFIG_TREE_KEY);
}

bool DatacorePathRadixTreePacket::hasStatusTree() const
{
    return hasTree(STATUS_TREE_KEY);
}

bool DatacorePathRadixTreePacket::hasCommandTree() const
{
    return hasTree(COMMAND_TREE_KEY);
}

bool DatacorePathRadixTreePacket::hasPersistentConfigTree() const
{
    return hasTree(PERSISTENT_CONFIG_TREE_KEY);
}

void DatacorePathRadixTreePacket::setTree(const QString& key, const DatacoreBase& root)
{
    jsonObject().insert(key, DatacorePathRadixTreeNode::treeJson(root));
}

DatacorePathRadixTreeNode DatacorePathRadixTreePacket::tree(const QString& key) const
{
    return DatacorePathRadixTreeNode::fromJson(jsonObject().value(key).toObject());
}

bool DatacorePathRadixTreePacket::hasTree(const QString& key) const
{
    return jsonObject().value(key).isObject();
}
