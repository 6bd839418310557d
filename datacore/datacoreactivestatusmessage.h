#pragma once

#include "messagebase.h"

// A reason for a datacore being inactive.
class DatacoreActiveStatusMessage final : public MessageBase
{
public:
    static constexpr const char CLASS_NAME[] = "DatacoreActiveStatusMessage";

    using MessageBase::MessageBase;

    // Without the "DatacoreActiveStatusMessage" key: type 3, identifier 0.
    static DatacoreActiveStatusMessage fromJson(const QJsonObject& object);

    QString className() const override;
    QString text() const override;
};
