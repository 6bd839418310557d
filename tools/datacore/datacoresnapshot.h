#pragma once

#include "clientdatacoremanipulator.h"

#include <QJsonValue>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

// Datacore values by full path, in path order: what dump writes and diff
// reads back and compares. It knows the two forms vq_datacore writes: text,
//
//     configCoreRouter/systemController/brevEth0IgmpMaxVersion = "3"
//         ! Error: The stored value is not supported
//         inactive
//
// (one item as a JSON string, none or several as a JSON array; each
// validation message and inactivity on an indented line of its own), or one
// JSON object per line with the keys in this order: "path", "data",
// "validationMessages", "active".
class DatacoreSnapshot
{
public:
    struct Difference
    {
        enum class Kind { Added, Removed, Changed };
        Kind kind;
        QString path;
        DatacoreValue was; // Removed, Changed
        DatacoreValue now; // Added, Changed
    };

    void insert(const QString& path, const DatacoreValue& value) { m_values.insert(path, value); }
    const QMap<QString, DatacoreValue>& values() const { return m_values; }
    // Only the datacores at or under prefix.
    DatacoreSnapshot under(const QString& prefix) const;

    // Reads either form. On false, error names the line that could not be
    // read and the snapshot is left empty.
    static bool read(const QByteArray& text, DatacoreSnapshot* snapshot, QString* error);

    // What changed from this snapshot to now, in path order.
    QList<Difference> differencesTo(const DatacoreSnapshot& now) const;

    // Lines of the text form, without the final line feed.
    static QString toText(const QString& path, const DatacoreValue& value);
    // One line of the JSON form; more keys may follow the four of the value.
    using JsonMembers = QList<QPair<QString, QJsonValue>>;
    static QString toJsonLine(const QString& path, const DatacoreValue& value, const JsonMembers& more = {});
    // One line: the data, then any validation messages and inactivity.
    static QString summary(const DatacoreValue& value);
    static QString differenceText(const Difference& difference);
    // {"change", "path", "was", "now"}, in this order.
    static QString differenceJsonLine(const Difference& difference);

private:
    QMap<QString, DatacoreValue> m_values;
};

bool operator==(const DatacoreValue& left, const DatacoreValue& right);
inline bool operator!=(const DatacoreValue& left, const DatacoreValue& right) { return !(left == right); }
