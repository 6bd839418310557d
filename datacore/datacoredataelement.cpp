#include "datacoredataelement.h"

#include "datacoreelementprivateinterface.h"
#include "vqlog.h"

#include <QJsonArray>
#include <QJsonValue>

DatacoreDataElement::DatacoreDataElement(DatacoreElementPrivateInterface* owner, const QStringList& data)
    : m_owner(owner)
    , m_data(data)
{
}

bool DatacoreDataElement::serialise(const QString& path, QJsonObject& target, bool, bool,
                                    std::list<DatacoreJsonMessage>& messages)
{
    if (!pathEndsAtElement(path, messages))
        return false;
    if (m_data.isEmpty())
        target.insert(key(), QJsonValue());
    else if (m_data.size() == 1)
        target.insert(key(), m_data.first());
    else
        target.insert(key(), QJsonArray::fromStringList(m_data));
    return true;
}

bool DatacoreDataElement::deserialise(const QString& path, const QJsonObject& source, bool,
                                      std::list<DatacoreJsonMessage>& messages)
{
    QJsonValue value;
    return pathEndsAtElement(path, messages) && findElementValue(source, key(), value, messages)
        && deserialiseValue(value);
}

bool DatacoreDataElement::deserialiseValue(const QJsonValue& value)
{
    if (value.isNull()) {
        if (!m_data.isEmpty())
            replaceFromJson(QStringList());
        return true;
    }
    if (value.isArray()) {
        const QJsonArray array = value.toArray();
        bool same = array.size() == m_data.size();
        for (int i = 0; same && i < array.size(); ++i)
            same = array.at(i).toString() == m_data.at(i);
        if (same)
            return true;
        QStringList items;
        items.reserve(array.size());
        for (const QJsonValue entry : array)
            items.append(entry.toString());
        replaceFromJson(items);
        return true;
    }
    const QString item = value.toString();
    if (m_data.size() == 1 && m_data.first() == item)
        return true;
    if (m_data.isEmpty())
        VqLog::error("0 sized entry for data element");
    replaceFromJson(QStringList(item));
    return true;
}

void DatacoreDataElement::setData(const QStringList& data)
{
    if (data == m_data)
        return;
    m_data = data;
    m_owner->elementModified();
}

void DatacoreDataElement::replaceFromJson(const QStringList& data)
{
    m_data = data;
    m_owner->elementDeserialised();
}
