#include "datacorestatuselement.h"

#include "datacoreelementprivateinterface.h"

#include <QJsonArray>

#include <algorithm>

namespace {

template <typename Message>
bool sameReasons(const std::list<Message>& left, const std::list<Message>& right)
{
    return left.size() == right.size()
        && std::equal(left.begin(), left.end(), right.begin(),
                      [](const Message& a, const Message& b) { return a.equals(b); });
}

} // namespace

template <>
QString DatacoreStatusElement<DatacoreValidStatusMessage>::key()
{
    return QStringLiteral("reasonsForBeingInvalid");
}

template <>
QString DatacoreStatusElement<DatacoreActiveStatusMessage>::key()
{
    return QStringLiteral("reasonsForBeingInactive");
}

template <typename Message>
DatacoreStatusElement<Message>::DatacoreStatusElement(DatacoreElementPrivateInterface* owner)
    : m_owner(owner)
{
}

template <typename Message>
bool DatacoreStatusElement<Message>::serialise(const QString& path, QJsonObject& target, bool dataOnly, bool,
                                               std::list<DatacoreJsonMessage>& messages)
{
    if (dataOnly)
        return true;
    if (!pathEndsAtElement(path, messages))
        return false;
    QJsonArray array;
    for (const Message& reason : m_reasons)
        array.append(reason.toJson());
    target.insert(key(), array);
    return true;
}

template <typename Message>
bool DatacoreStatusElement<Message>::deserialise(const QString& path, const QJsonObject& source, bool dataOnly,
                                                 std::list<DatacoreJsonMessage>& messages)
{
    if (dataOnly)
        return true;
    QJsonValue value;
    return pathEndsAtElement(path, messages) && findElementValue(source, key(), value, messages)
        && deserialiseValue(value);
}

template <typename Message>
bool DatacoreStatusElement<Message>::deserialiseValue(const QJsonValue& value)
{
    if (!value.isArray())
        return true;
    const QJsonArray array = value.toArray();
    // What nearly every datacore sends every time: no reasons, as before.
    if (array.isEmpty() && m_reasons.empty())
        return true;
    const auto parsed = parseSerialisedMessages(array);
    std::list<Message> kept;
    for (const auto& message : parsed) {
        if (const auto* own = dynamic_cast<const Message*>(message.get()))
            kept.push_back(*own);
    }
    // An unreadable entry counts as a change even when what was kept is equal.
    const bool changed = int(parsed.size()) < array.size() || !sameReasons(kept, m_reasons);
    m_reasons.swap(kept);
    if (changed)
        m_owner->elementDeserialised();
    return true;
}

template <typename Message>
void DatacoreStatusElement<Message>::setReasons(const std::list<Message>& reasons)
{
    if (sameReasons(reasons, m_reasons))
        return;
    m_reasons = reasons;
    m_owner->elementModified();
}

template class DatacoreStatusElement<DatacoreValidStatusMessage>;
template class DatacoreStatusElement<DatacoreActiveStatusMessage>;
