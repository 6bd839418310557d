#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <vector>

class DatacoreBase;

// One node of the server's tree of datacore names, as the path tree packet
// carries it: a name ("Core") and its child nodes ("Kids", left out when there
// are none). Reading is lenient: missing or mistyped parts read as an empty
// name or no children, never as an error.
struct DatacorePathRadixTreeNode
{
    QString core;
    std::vector<DatacorePathRadixTreeNode> kids;

    static DatacorePathRadixTreeNode fromJson(const QJsonObject& object);
    // The tree of a datacore and its children, children in name order.
    static QJsonObject treeJson(const DatacoreBase& datacore);
};

// Every path of the tree, depth first, each node before its children: the
// root's name alone, then root/kid, root/kid/grandchild, ... Names are joined
// with "/" as they stand.
QStringList flattenPathTree(const DatacorePathRadixTreeNode& node);
