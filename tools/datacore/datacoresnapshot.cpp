#include "datacoresnapshot.h"

#include "datacoretooloptions.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace {

const QString ASSIGNMENT = QStringLiteral(" = ");
const QString INDENT = QStringLiteral("    ");
const QString MESSAGE_MARK = QStringLiteral("! ");
const QString INACTIVE = QStringLiteral("inactive");

QJsonArray toJsonArray(const QStringList& items)
{
    return QJsonArray::fromStringList(items);
}

QString compactJson(const QJsonArray& array)
{
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

// One JSON value as compact text.
QString render(const QJsonValue& value)
{
    const QString array = compactJson(QJsonArray{value});
    return array.mid(1, array.size() - 2);
}

// A JSON object with its keys in the order given (QJsonObject would sort
// them); the values are JSON text already.
QString orderedJson(const QList<QPair<QString, QString>>& members)
{
    QStringList pairs;
    for (const auto& member : members)
        pairs.append(render(member.first) + QLatin1Char(':') + member.second);
    return QLatin1Char('{') + pairs.join(QLatin1Char(',')) + QLatin1Char('}');
}

QList<QPair<QString, QString>> rendered(const DatacoreSnapshot::JsonMembers& members)
{
    QList<QPair<QString, QString>> texts;
    for (const auto& member : members)
        texts.append({member.first, render(member.second)});
    return texts;
}

DatacoreSnapshot::JsonMembers valueMembers(const DatacoreValue& value)
{
    return {{QStringLiteral("data"), toJsonArray(value.data)},
            {QStringLiteral("validationMessages"), toJsonArray(value.validationMessages)},
            {QStringLiteral("active"), value.isActive}};
}

QString dataText(const QStringList& data)
{
    const QString array = compactJson(toJsonArray(data));
    // One item is written as the bare JSON string.
    return data.size() == 1 ? array.mid(1, array.size() - 2) : array;
}

// The strings of a JSON array; false when it holds anything else.
bool readStrings(const QJsonValue& value, QStringList* strings)
{
    if (!value.isArray())
        return false;
    for (const QJsonValue item : value.toArray()) {
        if (!item.isString())
            return false;
        strings->append(item.toString());
    }
    return true;
}

bool readDataText(const QString& text, QStringList* data)
{
    const QString array = text.startsWith(QLatin1Char('[')) ? text : QLatin1Char('[') + text + QLatin1Char(']');
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(array.toUtf8(), &error);
    return error.error == QJsonParseError::NoError && readStrings(document.array(), data);
}

bool readJsonLine(const QByteArray& line, QString* path, DatacoreValue* value)
{
    QJsonParseError error;
    const QJsonObject object = QJsonDocument::fromJson(line, &error).object();
    if (error.error != QJsonParseError::NoError || !object.value(QStringLiteral("path")).isString()
        || !object.value(QStringLiteral("active")).isBool())
        return false;
    *path = object.value(QStringLiteral("path")).toString();
    value->isActive = object.value(QStringLiteral("active")).toBool();
    return readStrings(object.value(QStringLiteral("data")), &value->data)
        && readStrings(object.value(QStringLiteral("validationMessages")), &value->validationMessages);
}

} // namespace

bool operator==(const DatacoreValue& left, const DatacoreValue& right)
{
    return left.data == right.data && left.validationMessages == right.validationMessages
        && left.isActive == right.isActive;
}

DatacoreSnapshot DatacoreSnapshot::under(const QString& prefix) const
{
    DatacoreSnapshot selected;
    for (auto it = m_values.cbegin(); it != m_values.cend(); ++it) {
        if (isUnderPrefix(it.key(), prefix))
            selected.insert(it.key(), it.value());
    }
    return selected;
}

bool DatacoreSnapshot::read(const QByteArray& text, DatacoreSnapshot* snapshot, QString* error)
{
    snapshot->m_values.clear();
    const QList<QByteArray> lines = text.split('\n');
    QString currentPath;
    bool jsonForm = false;
    bool formKnown = false;
    for (int number = 1; number <= lines.size(); ++number) {
        QByteArray line = lines.at(number - 1);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        if (!formKnown) {
            jsonForm = line.startsWith('{');
            formKnown = true;
        }

        bool ok = false;
        if (jsonForm) {
            QString path;
            DatacoreValue value;
            ok = readJsonLine(line, &path, &value);
            if (ok)
                snapshot->insert(path, value);
        } else {
            const QString textLine = QString::fromUtf8(line);
            if (textLine.startsWith(INDENT)) {
                const QString attribute = textLine.mid(INDENT.size());
                auto current = snapshot->m_values.find(currentPath);
                ok = current != snapshot->m_values.end();
                if (ok && attribute.startsWith(MESSAGE_MARK))
                    current->validationMessages.append(attribute.mid(MESSAGE_MARK.size()));
                else if (ok && attribute == INACTIVE)
                    current->isActive = false;
                else
                    ok = false;
            } else {
                const int assignment = textLine.indexOf(ASSIGNMENT);
                DatacoreValue value;
                value.isActive = true;
                ok = assignment > 0 && readDataText(textLine.mid(assignment + ASSIGNMENT.size()), &value.data);
                if (ok) {
                    currentPath = textLine.left(assignment);
                    snapshot->insert(currentPath, value);
                }
            }
        }
        if (!ok) {
            *error = QStringLiteral("line %1 is not part of a datacore dump: %2")
                         .arg(number)
                         .arg(QString::fromUtf8(line.left(80)));
            snapshot->m_values.clear();
            return false;
        }
    }
    return true;
}

QList<DatacoreSnapshot::Difference> DatacoreSnapshot::differencesTo(const DatacoreSnapshot& now) const
{
    QList<Difference> differences;
    auto was = m_values.cbegin();
    auto is = now.m_values.cbegin();
    // Both maps are in path order: one merge walk.
    while (was != m_values.cend() || is != now.m_values.cend()) {
        if (is == now.m_values.cend() || (was != m_values.cend() && was.key() < is.key())) {
            differences.append({Difference::Kind::Removed, was.key(), was.value(), DatacoreValue()});
            ++was;
        } else if (was == m_values.cend() || is.key() < was.key()) {
            differences.append({Difference::Kind::Added, is.key(), DatacoreValue(), is.value()});
            ++is;
        } else {
            if (was.value() != is.value())
                differences.append({Difference::Kind::Changed, is.key(), was.value(), is.value()});
            ++was;
            ++is;
        }
    }
    return differences;
}

QString DatacoreSnapshot::toText(const QString& path, const DatacoreValue& value)
{
    QString text = path + ASSIGNMENT + dataText(value.data);
    for (const QString& message : value.validationMessages)
        text += QLatin1Char('\n') + INDENT + MESSAGE_MARK + message;
    if (!value.isActive)
        text += QLatin1Char('\n') + INDENT + INACTIVE;
    return text;
}

QString DatacoreSnapshot::toJsonLine(const QString& path, const DatacoreValue& value, const JsonMembers& more)
{
    return orderedJson(rendered(JsonMembers{{QStringLiteral("path"), path}} + valueMembers(value) + more));
}

QString DatacoreSnapshot::summary(const DatacoreValue& value)
{
    QString text = dataText(value.data);
    if (!value.validationMessages.isEmpty())
        text += QStringLiteral(" ! ") + value.validationMessages.join(QStringLiteral("; "));
    if (!value.isActive)
        text += QLatin1Char(' ') + INACTIVE;
    return text;
}

QString DatacoreSnapshot::differenceText(const Difference& difference)
{
    switch (difference.kind) {
    case Difference::Kind::Added:
        return QStringLiteral("+ ") + difference.path + ASSIGNMENT + summary(difference.now);
    case Difference::Kind::Removed:
        return QStringLiteral("- ") + difference.path + ASSIGNMENT + summary(difference.was);
    case Difference::Kind::Changed:
        break;
    }
    return QStringLiteral("~ ") + difference.path + QStringLiteral(": ") + summary(difference.was)
        + QStringLiteral(" -> ") + summary(difference.now);
}

QString DatacoreSnapshot::differenceJsonLine(const Difference& difference)
{
    static const QString KIND_NAMES[] = {QStringLiteral("added"), QStringLiteral("removed"),
                                         QStringLiteral("changed")};
    QList<QPair<QString, QString>> members = rendered({{QStringLiteral("change"), KIND_NAMES[int(difference.kind)]},
                                                       {QStringLiteral("path"), difference.path}});
    if (difference.kind != Difference::Kind::Added)
        members.append({QStringLiteral("was"), orderedJson(rendered(valueMembers(difference.was)))});
    if (difference.kind != Difference::Kind::Removed)
        members.append({QStringLiteral("now"), orderedJson(rendered(valueMembers(difference.now)))});
    return orderedJson(members);
}
