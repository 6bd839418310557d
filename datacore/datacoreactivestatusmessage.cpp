#include "datacoreactivestatusmessage.h"

namespace {

// Identifiers 0, 1 and 6 exist in the shared vocabulary but have no text.
const char* const TEXTS[] = {
    nullptr,
    nullptr,
    "Command Executor is Busy",
    "There is not currently any need for this datacore, its value is meaningless and probably represents data "
    "that doesn't exist yet!",
    "Parameter not supported for current video standard",
    "One or more child datacores are invalid.",
};

} // namespace

DatacoreActiveStatusMessage DatacoreActiveStatusMessage::fromJson(const QJsonObject& object)
{
    if (object.contains(QLatin1String(CLASS_NAME)))
        return DatacoreActiveStatusMessage(object);
    return DatacoreActiveStatusMessage(TYPE_UNSPECIFIED, 0);
}

QString DatacoreActiveStatusMessage::className() const
{
    return QLatin1String(CLASS_NAME);
}

QString DatacoreActiveStatusMessage::text() const
{
    return tableText(TEXTS, identifier());
}
