#include "messagebase.h"

#include "datacoreactivestatusmessage.h"
#include "datacorejsonmessage.h"
#include "datacorevalidstatusmessage.h"
#include "vqlog.h"

#include <QJsonValue>

#include <limits>

namespace {

const QString MESSAGE_BASE_KEY = QStringLiteral("MessageBase");
const QString TYPE_KEY = QStringLiteral("type");
const QString IDENTIFIER_KEY = QStringLiteral("identifier");

// Integral numbers within int range; anything else reads as 0. Done by hand
// because QJsonValue::toInt() differs between Qt versions for fractions and
// out-of-range values.
int toInteger(const QJsonValue& value)
{
    if (!value.isDouble())
        return 0;
    const double number = value.toDouble();
    if (number < double(std::numeric_limits<int>::min()) || number > double(std::numeric_limits<int>::max()))
        return 0;
    const int integer = int(number);
    return double(integer) == number ? integer : 0;
}

} // namespace

MessageBase::MessageBase(int type, int identifier)
    : m_identifier(identifier)
    , m_type(type)
{
}

MessageBase::MessageBase(const QJsonObject& object)
{
    const QJsonObject base = object.value(MESSAGE_BASE_KEY).toObject();
    if (base.contains(TYPE_KEY))
        m_type = toInteger(base.value(TYPE_KEY));
    if (base.contains(IDENTIFIER_KEY))
        m_identifier = toInteger(base.value(IDENTIFIER_KEY));
}

MessageBase::~MessageBase() = default;

QJsonObject MessageBase::toJson() const
{
    QJsonObject base;
    base.insert(TYPE_KEY, m_type);
    base.insert(IDENTIFIER_KEY, m_identifier);
    QJsonObject object;
    object.insert(MESSAGE_BASE_KEY, base);
    object.insert(className(), QJsonObject());
    return object;
}

bool MessageBase::hasText() const
{
    return !text().isEmpty();
}

bool MessageBase::equals(const MessageBase& other) const
{
    return m_type == other.m_type && m_identifier == other.m_identifier;
}

std::list<std::unique_ptr<MessageBase>> parseSerialisedMessages(const QJsonArray& array)
{
    static const QString jsonKey = QLatin1String(DatacoreJsonMessage::CLASS_NAME);
    static const QString validKey = QLatin1String(DatacoreValidStatusMessage::CLASS_NAME);
    static const QString activeKey = QLatin1String(DatacoreActiveStatusMessage::CLASS_NAME);

    std::list<std::unique_ptr<MessageBase>> messages;
    for (const QJsonValue entry : array) {
        if (!entry.isObject()) {
            VqLog::info("Not a serialised object, of QJson type: {}", int(entry.type()));
            continue;
        }
        const QJsonObject object = entry.toObject();
        if (!object.contains(MESSAGE_BASE_KEY)) {
            VqLog::info("Not recognised as a serialised message: {}", object.keys());
            continue;
        }
        if (object.contains(jsonKey))
            messages.emplace_back(new DatacoreJsonMessage(DatacoreJsonMessage::fromJson(object)));
        else if (object.contains(validKey))
            messages.emplace_back(new DatacoreValidStatusMessage(DatacoreValidStatusMessage::fromJson(object)));
        else if (object.contains(activeKey))
            messages.emplace_back(new DatacoreActiveStatusMessage(DatacoreActiveStatusMessage::fromJson(object)));
        else
            VqLog::info("Unsupported message type: {}", object.keys());
    }
    return messages;
}
