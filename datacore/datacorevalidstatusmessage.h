#pragma once

#include "messagebase.h"

// A reason for a datacore being invalid; the identifier is the validation
// reason code shared with the server. There is no look-up from text to code.
class DatacoreValidStatusMessage final : public MessageBase
{
public:
    static constexpr const char CLASS_NAME[] = "DatacoreValidStatusMessage";
    static constexpr int NOT_A_BOOLEAN = 10;
    static constexpr int TOO_FEW_ITEMS = 21;

    using MessageBase::MessageBase;

    // Without the "DatacoreValidStatusMessage" key: type 3, identifier 0.
    static DatacoreValidStatusMessage fromJson(const QJsonObject& object);

    QString className() const override;
    QString text() const override;
};
