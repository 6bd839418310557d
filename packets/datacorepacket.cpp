#include "datacorepacket.h"

namespace {

const QString CLIENT_ID_KEY = QStringLiteral("ClientID");
const QString PACKET_ID_KEY = QStringLiteral("PacketID");
const QString PATH_KEY = QStringLiteral("Path");
const QString DATACORE_KEY = QStringLiteral("Datacore");
constexpr int NO_PACKET_ID = -1;

} // namespace

const QString DatacorePacket::CLASS_NAME = QStringLiteral("DatacorePacket");

DatacorePacket::DatacorePacket()
    : SerialisableDataPacket(CLASS_NAME)
{
}

DatacorePacket::DatacorePacket(const SerialisableDataPacket& received)
    : SerialisableDataPacket(received.jsonObject())
{
}

DatacorePacket::DatacorePacket(const QJsonObject& datacore, const QString& path)
    : SerialisableDataPacket(CLASS_NAME)
{
    setPath(path);
    setDatacore(datacore);
}

DatacorePacket::DatacorePacket(const QString& clientId, int packetId, const QJsonObject& datacore, const QString& path)
    : DatacorePacket(datacore, path)
{
    setClientId(clientId);
    setPacketId(packetId);
}

void DatacorePacket::setClientId(const QString& clientId)
{
    jsonObject().insert(CLIENT_ID_KEY, clientId);
}

void DatacorePacket::setPacketId(int packetId)
{
    jsonObject().insert(PACKET_ID_KEY, packetId);
}

void DatacorePacket::setPath(const QString& path)
{
    jsonObject().insert(PATH_KEY, path);
}

void DatacorePacket::setDatacore(const QJsonObject& datacore)
{
    jsonObject().insert(DATACORE_KEY, datacore);
}

QString DatacorePacket::clientId() const
{
    return jsonObject().value(CLIENT_ID_KEY).toString();
}

int DatacorePacket::packetId() const
{
    return jsonObject().value(PACKET_ID_KEY).toInt(NO_PACKET_ID);
}

QString DatacorePacket::path() const
{
    return jsonObject().value(PATH_KEY).toString();
}

QJsonObject DatacorePacket::datacore() const
{
    return jsonObject().value(DATACORE_KEY).toObject();
}

bool DatacorePacket::hasClientId() const
{
    return jsonObject().contains(CLIENT_ID_KEY);
}

bool DatacorePacket::hasPacketId() const
{
    return jsonObject().contains(PACKET_ID_KEY);
}

bool DatacorePacket::hasPath() const
{
    return jsonObject().contains(PATH_KEY);
}

bool DatacorePacket::hasDatacore() const
{
    return jsonObject().contains(DATACORE_KEY);
}
