#pragma once

#include "datacorebase.h"

#include <QList>
#include <QObject>
#include <QPoint>
#include <QSize>
#include <QStringList>

#include <cstdint>

class DatacorePacket;

// The client's mirror of one server datacore. It applies the server's datacore
// packets, takes typed values from the client's own code through its setter
// slots (stored as strings), numbers each local change with a packet
// identifier and asks for it to be sent, and tells listeners whether it is in
// sync with the server. It never recalculates its status: it keeps exactly the
// reasons the server sent. Sending is the monitor's job; owning and finding
// datacores is the registry's.
class ClientDatacore : public QObject, public DatacoreBase
{
    Q_OBJECT

public:
    ClientDatacore(const QString& className, const QString& name, DatacoreBase* parent, const QString& fullPath);
    ~ClientDatacore() override;

    const QString& fullPath() const { return m_fullPath; }

    // Applies a packet from the server. An answer to this client's own change
    // (answersOwnUpdate and a "PacketID") settles the outstanding identifiers
    // instead. Returns the result of reading the datacore JSON.
    bool applyDatacorePacket(const DatacorePacket& packet, bool answersOwnUpdate);

    // The reasons for being invalid as texts, each with the prefix of its
    // type ("Error: " ...): what datacoreUpdated() carries.
    QStringList validationMessages() const;

    // Identifiers of local changes not yet answered by the server, oldest first.
    const QList<int>& outstandingPacketIds() const { return m_outstandingPacketIds; }

    // messages joined by line feeds; the flags say whether one begins with
    // "Error: " or, failing that, "Warning: ". Either pointer may be null.
    static QString joinValidationMessages(const QStringList& messages, bool* hasError, bool* hasWarning);

    // Makes the argument types of the slots and signals usable in queued
    // connections and by name; done by the constructor too.
    static void registerMetaTypes();

signals:
    void datacoreUpdated(QStringList data, QStringList validationMessages, bool isActive);
    void clientDatacoreHasUpdateForServer(int packetID, ClientDatacore* datacore);
    void datacoreOutOfSyncWithServer();
    void datacoreInSyncWithServer();
    void lostPackets(int numLostPackets);

public slots:
    void setDataString(QString data);
    void setDataStringList(QStringList data);
    void setDataBool(bool data);
    void setDataBoolList(QList<bool> data);
    void setDataInt(int data);
    void setDataIntList(QList<int> data);
    void setDataUint(uint data);
    void setDataUintList(QList<uint> data);
    void setDataInt16(int16_t data);
    void setDataInt32(int32_t data);
    void setDataInt64(int64_t data);
    void setDataInt16List(QList<int16_t> data);
    void setDataInt32List(QList<int32_t> data);
    void setDataInt64List(QList<int64_t> data);
    void setDataUint16(uint16_t data);
    void setDataUint32(uint32_t data);
    void setDataUint64(uint64_t data);
    void setDataUint16List(QList<uint16_t> data);
    void setDataUint32List(QList<uint32_t> data);
    void setDataUint64List(QList<uint64_t> data);
    void setDataFloat(float data);
    void setDataDouble(double data);
    void setDataDoubleList(QList<double> data);
    void setDataPoint(QPoint point);
    void setDataSize(QSize size);
    void populateConnectedGuiElements();

protected:
    void onDatacoreChanged() override;
    void calculateReasonsForBeingInvalid(std::list<DatacoreValidStatusMessage>& reasons) override;
    void calculateReasonsForBeingInactive(std::list<DatacoreActiveStatusMessage>& reasons) override;

private:
    bool acknowledgeUpdate(int packetID, const QJsonObject& datacoreJson);
    int nextPacketID();
    bool applyServerJson(const QJsonObject& datacoreJson);

    QString m_fullPath;
    // A QList rather than a std::deque: an empty QList allocates nothing, and
    // most of the (up to hundreds of thousands of) datacores never change locally.
    QList<int> m_outstandingPacketIds;
};
