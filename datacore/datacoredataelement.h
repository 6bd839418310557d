#pragma once

#include "datacorejsoninterface.h"

#include <QStringList>

class DatacoreElementPrivateInterface;

// A datacore's value: zero, one or many strings, written as null, a string or
// an array of strings. Reports changes to its owner; knows nothing of types.
class DatacoreDataElement : public DatacoreJsonInterface
{
public:
    static QString key() { return QStringLiteral("data"); }

    // The initial items are taken as they are, without telling the owner.
    DatacoreDataElement(DatacoreElementPrivateInterface* owner, const QStringList& data);

    bool serialise(const QString& path, QJsonObject& target, bool dataOnly, bool recursive,
                   std::list<DatacoreJsonMessage>& messages) override;
    bool deserialise(const QString& path, const QJsonObject& source, bool dataOnly,
                     std::list<DatacoreJsonMessage>& messages) override;
    // The same, given the value already found under the element's key.
    bool deserialiseValue(const QJsonValue& value);

    const QStringList& data() const { return m_data; }
    // Replaces the items unless they are equal, item for item, and then tells
    // the owner it was modified.
    void setData(const QStringList& data);

private:
    void replaceFromJson(const QStringList& data);

    DatacoreElementPrivateInterface* m_owner;
    QStringList m_data;
};
