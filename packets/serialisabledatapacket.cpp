#include "serialisabledatapacket.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QtEndian>

#include <ostream>

namespace {

const QString CLASS_KEY = QStringLiteral("Class");
constexpr int LENGTH_PREFIX_SIZE = 4;
constexpr int PAYLOAD_RESERVE = 1500;

bool hasClassName(const QJsonObject& object)
{
    const QJsonValue name = object.value(CLASS_KEY);
    return name.isString() && !name.toString().isEmpty();
}

} // namespace

SerialisableDataPacket::SerialisableDataPacket(const QString& className)
{
    if (className.isEmpty()) {
        VqLog::info("SerialisableDataPacket MUST HAVE CLASS NAME");
        return;
    }
    m_jsonObject.insert(CLASS_KEY, className);
}

SerialisableDataPacket::SerialisableDataPacket(const QJsonObject& object)
    : m_jsonObject(object)
{
}

SerialisableDataPacket::SerialisableDataPacket(const QByteArray& frame, const RawDataPacketHeader& header)
    : RawDataPacket(frame, header)
{
    // The length prefix is not trusted or compared: the text runs to the end
    // of the payload.
    const QByteArray& bytes = payload();
    const QByteArray text = bytes.size() > LENGTH_PREFIX_SIZE
        ? QByteArray::fromRawData(bytes.constData() + LENGTH_PREFIX_SIZE, bytes.size() - LENGTH_PREFIX_SIZE)
        : QByteArray();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError) {
        VqLog::info("SerialisablePacket failed to parse packet {}", error.errorString());
        m_jsonObject.insert(CLASS_KEY, QString());
        return;
    }
    m_jsonObject = document.object();
}

SerialisableDataPacket::SerialisableDataPacket(const QByteArray& text, QJsonParseError* error)
{
    QJsonParseError localError;
    QJsonParseError* result = error ? error : &localError;
    m_jsonObject = QJsonDocument::fromJson(text, result).object();
    if (result->error != QJsonParseError::NoError)
        VqLog::info("SerialisablePacket failed to parse packet: {}", result->errorString());
}

SerialisableDataPacket::~SerialisableDataPacket() = default;

SerialisableDataPacket SerialisableDataPacket::extractPacket(const SerialisableDataPacket& parent, const QString& key,
                                                             bool* ok)
{
    SerialisableDataPacket packet;
    const QJsonValue value = parent.m_jsonObject.value(key);
    const bool found = value.isObject() && hasClassName(value.toObject());
    if (found)
        packet.m_jsonObject = value.toObject();
    if (ok)
        *ok = found;
    return packet;
}

QByteArray SerialisableDataPacket::payloadBytes() const
{
    QByteArray bytes;
    bytes.reserve(PAYLOAD_RESERVE);
    bytes.append(LENGTH_PREFIX_SIZE, '\0');
    const QByteArray text = jsonText();
    bytes.append(text);
    qToBigEndian<quint32>(quint32(text.size()), reinterpret_cast<uchar*>(bytes.data()));
    return bytes;
}

quint16 SerialisableDataPacket::packetType() const
{
    return PACKET_TYPE;
}

QString SerialisableDataPacket::className() const
{
    return m_jsonObject.value(CLASS_KEY).toString();
}

QByteArray SerialisableDataPacket::jsonText() const
{
    return QJsonDocument(m_jsonObject).toJson(QJsonDocument::Compact);
}

QByteArray SerialisableDataPacket::indentedJsonText() const
{
    return QJsonDocument(m_jsonObject).toJson(QJsonDocument::Indented);
}

void SerialisableDataPacket::insertPacket(const QString& key, const SerialisableDataPacket& packet)
{
    m_jsonObject.insert(key, packet.m_jsonObject);
}

void SerialisableDataPacket::insertPacketArray(const QString& key, const std::vector<SerialisableDataPacket>& packets)
{
    QJsonArray array;
    for (const SerialisableDataPacket& packet : packets)
        array.append(packet.m_jsonObject);
    m_jsonObject.insert(key, array);
}

std::vector<SerialisableDataPacket> SerialisableDataPacket::extractPacketArray(const QString& key, bool* ok) const
{
    std::vector<SerialisableDataPacket> packets;
    const QJsonValue value = m_jsonObject.value(key);
    bool allGood = value.isArray();
    if (allGood) {
        const QJsonArray array = value.toArray();
        packets.reserve(size_t(array.size()));
        for (const QJsonValue& element : array) {
            if (element.isObject() && hasClassName(element.toObject()))
                packets.emplace_back(element.toObject());
            else
                allGood = false;
        }
    }
    if (ok)
        *ok = allGood;
    return packets;
}

std::ostream& operator<<(std::ostream& stream, const SerialisableDataPacket& packet)
{
    const QByteArray text = packet.indentedJsonText();
    return stream.write(text.constData(), text.size());
}
