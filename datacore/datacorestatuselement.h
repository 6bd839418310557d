#pragma once

#include "datacoreactivestatusmessage.h"
#include "datacorejsoninterface.h"
#include "datacorevalidstatusmessage.h"

class DatacoreElementPrivateInterface;

// A datacore's reasons for being invalid or inactive: an ordered list of
// messages of one class, written as an array of serialised messages. Reading
// keeps only messages of its own class. It does not decide the reasons; the
// owning datacore calculates them.
template <typename Message>
class DatacoreStatusElement : public DatacoreJsonInterface
{
public:
    static QString key();

    explicit DatacoreStatusElement(DatacoreElementPrivateInterface* owner);

    bool serialise(const QString& path, QJsonObject& target, bool dataOnly, bool recursive,
                   std::list<DatacoreJsonMessage>& messages) override;
    bool deserialise(const QString& path, const QJsonObject& source, bool dataOnly,
                     std::list<DatacoreJsonMessage>& messages) override;
    // The same, given the value already found under the element's key.
    bool deserialiseValue(const QJsonValue& value);

    std::list<Message> reasons() const { return m_reasons; }
    // Tells the owner it was modified when the list differs from the stored one.
    void setReasons(const std::list<Message>& reasons);
    bool isEmpty() const { return m_reasons.empty(); }

private:
    DatacoreElementPrivateInterface* m_owner;
    std::list<Message> m_reasons;
};

using DatacoreValidStatusElement = DatacoreStatusElement<DatacoreValidStatusMessage>;
using DatacoreActiveStatusElement = DatacoreStatusElement<DatacoreActiveStatusMessage>;

template <>
QString DatacoreStatusElement<DatacoreValidStatusMessage>::key();
template <>
QString DatacoreStatusElement<DatacoreActiveStatusMessage>::key();

extern template class DatacoreStatusElement<DatacoreValidStatusMessage>;
extern template class DatacoreStatusElement<DatacoreActiveStatusMessage>;
