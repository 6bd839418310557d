#pragma once

#include "datacorejsoninterface.h"

class DatacoreElementPrivateInterface;

// The name of a datacore's type. It is written to JSON but never taken from
// it: a "class" key read back is only checked for presence.
class DatacoreClassnameElement : public DatacoreJsonInterface
{
public:
    static QString key() { return QStringLiteral("class"); }

    DatacoreClassnameElement(DatacoreElementPrivateInterface* owner, const QString& className);

    bool serialise(const QString& path, QJsonObject& target, bool dataOnly, bool recursive,
                   std::list<DatacoreJsonMessage>& messages) override;
    bool deserialise(const QString& path, const QJsonObject& source, bool dataOnly,
                     std::list<DatacoreJsonMessage>& messages) override;
    // Only the key's presence counts, so the value found under it is not read.
    bool deserialiseValue(const QJsonValue&) { return true; }

    const QString& className() const { return m_className; }
    void setClassName(const QString& className);

private:
    QString m_className;
    DatacoreElementPrivateInterface* m_owner;
};
