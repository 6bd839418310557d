#include "datacoreclassnameelement.h"

#include "datacoreelementprivateinterface.h"

DatacoreClassnameElement::DatacoreClassnameElement(DatacoreElementPrivateInterface* owner, const QString& className)
    : m_className(className)
    , m_owner(owner)
{
}

bool DatacoreClassnameElement::serialise(const QString& path, QJsonObject& target, bool dataOnly, bool,
                                         std::list<DatacoreJsonMessage>& messages)
{
    if (dataOnly)
        return true;
    if (!pathEndsAtElement(path, messages))
        return false;
    target.insert(key(), m_className);
    return true;
}

bool DatacoreClassnameElement::deserialise(const QString& path, const QJsonObject& source, bool dataOnly,
                                           std::list<DatacoreJsonMessage>& messages)
{
    if (dataOnly)
        return true;
    QJsonValue ignored;
    return pathEndsAtElement(path, messages) && findElementValue(source, key(), ignored, messages);
}

void DatacoreClassnameElement::setClassName(const QString& className)
{
    if (className == m_className)
        return;
    m_className = className;
    m_owner->elementModified();
}
