#include "datacorejsonmessage.h"

#include "vqlog.h"

#include <QJsonDocument>

namespace {

const char* const TEXTS[] = {
    "Datacore path could not be resolved",
    "Badly formed path",
    "New data class name does not match destination class name",
    "New data instance name does not match destination instance name",
    "Path could not be resolved",
    "MessageContentPathDoesNotEndAtDatacoreElementLeafNode",
    "MessageContentJsonDoesNotContainDatacoreElementKey",
};

} // namespace

DatacoreJsonMessage DatacoreJsonMessage::fromJson(const QJsonObject& object)
{
    if (object.contains(QLatin1String(CLASS_NAME)))
        return DatacoreJsonMessage(object);
    VqLog::info("Failed to construct a DatacoreJsonMessage from {}",
                QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented)));
    return DatacoreJsonMessage(TYPE_UNSPECIFIED, IDENTIFIER_UNSET);
}

QString DatacoreJsonMessage::className() const
{
    return QLatin1String(CLASS_NAME);
}

QString DatacoreJsonMessage::text() const
{
    return tableText(TEXTS, identifier());
}
