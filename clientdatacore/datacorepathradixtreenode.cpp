#include "datacorepathradixtreenode.h"

#include "datacorebase.h"

#include <QJsonArray>

namespace {

const QString CORE_KEY = QStringLiteral("Core");
const QString KIDS_KEY = QStringLiteral("Kids");

void appendPaths(const DatacorePathRadixTreeNode& node, const QString& prefix, QStringList& paths)
{
    // At its exact size: the registry keeps every path while the connection
    // lasts, and an appended string would carry spare capacity.
    QString path;
    path.reserve(prefix.size() + node.core.size());
    path.append(prefix).append(node.core);
    paths.append(path);
    if (node.kids.empty())
        return;
    const QString kidPrefix = path + QLatin1Char('/');
    for (const DatacorePathRadixTreeNode& kid : node.kids)
        appendPaths(kid, kidPrefix, paths);
}

} // namespace

DatacorePathRadixTreeNode DatacorePathRadixTreeNode::fromJson(const QJsonObject& object)
{
    DatacorePathRadixTreeNode node;
    node.core = object.value(CORE_KEY).toString();
    const QJsonArray kids = object.value(KIDS_KEY).toArray();
    node.kids.reserve(size_t(kids.size()));
    for (const QJsonValue& kid : kids)
        node.kids.push_back(fromJson(kid.toObject()));
    return node;
}

QJsonObject DatacorePathRadixTreeNode::treeJson(const DatacoreBase& datacore)
{
    QJsonArray kids;
    for (const DatacoreBase* child : datacore.childDatacores())
        kids.append(treeJson(*child));
    QJsonObject object{{CORE_KEY, datacore.name()}};
    if (!kids.isEmpty())
        object.insert(KIDS_KEY, kids);
    return object;
}

QStringList flattenPathTree(const DatacorePathRadixTreeNode& node)
{
    QStringList paths;
    appendPaths(node, QString(), paths);
    return paths;
}
