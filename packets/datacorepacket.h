#pragma once

#include "serialisabledatapacket.h"

// The JSON packet that carries one datacore: its full "Path", its JSON form
// under "Datacore" and, for a change a client sent, that client's "ClientID"
// and its "PacketID". It only reads and writes those keys; it does not check
// the datacore JSON itself.
class DatacorePacket : public SerialisableDataPacket
{
public:
    static const QString CLASS_NAME;

    DatacorePacket();
    // A received JSON packet of class "DatacorePacket", taken over as it is.
    explicit DatacorePacket(const SerialisableDataPacket& received);
    DatacorePacket(const QJsonObject& datacore, const QString& path);
    DatacorePacket(const QString& clientId, int packetId, const QJsonObject& datacore, const QString& path);

    void setClientId(const QString& clientId);
    void setPacketId(int packetId);
    void setPath(const QString& path);
    void setDatacore(const QJsonObject& datacore);

    // Missing or mistyped keys read as "", -1 and an empty object.
    QString clientId() const;
    int packetId() const;
    QString path() const;
    QJsonObject datacore() const;

    // True when the key exists, whatever its type.
    bool hasClientId() const;
    bool hasPacketId() const;
    bool hasPath() const;
    bool hasDatacore() const;
};
