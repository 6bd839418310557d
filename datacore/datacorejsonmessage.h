#pragma once

#include "messagebase.h"

// An error met while writing or reading datacore JSON. Identifiers 5 and 6 are
// produced here; the others may arrive from the server.
class DatacoreJsonMessage final : public MessageBase
{
public:
    static constexpr const char CLASS_NAME[] = "DatacoreJsonMessage";
    static constexpr int PATH_DOES_NOT_END_AT_ELEMENT = 5;
    static constexpr int JSON_DOES_NOT_CONTAIN_ELEMENT_KEY = 6;

    using MessageBase::MessageBase;

    // Without the "DatacoreJsonMessage" key: logs and gives type 3, identifier -1.
    static DatacoreJsonMessage fromJson(const QJsonObject& object);

    QString className() const override;
    QString text() const override;
};
