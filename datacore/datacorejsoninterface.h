#pragma once

#include "datacorejsonmessage.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <list>

// Something that writes itself into datacore JSON and reads itself back: a
// datacore or one of its elements. path addresses a descendant ("" for the
// object itself); errors are reported by the result and, where the element
// level is reached, by coded messages appended to the caller's list.
class DatacoreJsonInterface
{
public:
    virtual ~DatacoreJsonInterface() = default;

    virtual bool serialise(const QString& path, QJsonObject& target, bool dataOnly, bool recursive,
                           std::list<DatacoreJsonMessage>& messages) = 0;
    virtual bool deserialise(const QString& path, const QJsonObject& source, bool dataOnly,
                             std::list<DatacoreJsonMessage>& messages) = 0;

protected:
    // Checks shared by the elements: a path may not go below an element, and a
    // read needs the element's key. Each failure appends its coded error.
    static bool pathEndsAtElement(const QString& path, std::list<DatacoreJsonMessage>& messages)
    {
        if (path.isEmpty())
            return true;
        messages.emplace_back(MessageBase::TYPE_ERROR, DatacoreJsonMessage::PATH_DOES_NOT_END_AT_ELEMENT);
        return false;
    }
    static bool findElementValue(const QJsonObject& source, const QString& key, QJsonValue& value,
                                 std::list<DatacoreJsonMessage>& messages)
    {
        const auto found = source.constFind(key);
        if (found != source.constEnd()) {
            value = found.value();
            return true;
        }
        messages.emplace_back(MessageBase::TYPE_ERROR, DatacoreJsonMessage::JSON_DOES_NOT_CONTAIN_ELEMENT_KEY);
        return false;
    }
};
