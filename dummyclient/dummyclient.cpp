#include "dummyclient.h"

#include "serialisabledatapacketdistributor.h"
#include "vqlog.h"

const QString DummyClient::SYNC_COMPLETE_CLASS_NAME = QStringLiteral("ClientServerDatacoreSyncCompletePacket");

DummyClient::DummyClient(SerialisableDataPacketDistributor* distributor, QObject* parent)
    : QObject(parent)
{
    distributor->registerPacketAcceptor(this, SYNC_COMPLETE_CLASS_NAME);
}

bool DummyClient::canAcceptPacket(QString className)
{
    return className == SYNC_COMPLETE_CLASS_NAME;
}

void DummyClient::acceptPacket(const SerialisableDataPacket& /*packet*/)
{
    m_syncComplete = true;
}

void DummyClient::fromConfigCoreIgmpMaxVersionUpdated(QStringList data, QStringList validationMessages, bool active)
{
    if (!validationMessages.isEmpty()) {
        for (const QString& message : std::as_const(validationMessages))
            VqLog::info("{}", message);
        return;
    }
    if (data.isEmpty() || !active)
        return;

    bool ok = false;
    // Read as 64 bits, of which the low 32 are kept.
    m_igmpMaxVersion = static_cast<quint32>(data.first().toULongLong(&ok, 10));
    if (ok)
        VqLog::info("IGMP max supported version is: {}", m_igmpMaxVersion);
}

void DummyClient::fromStatusCoreLicenseSerialUpdated(QStringList data, QStringList /*validationMessages*/,
                                                     bool /*active*/)
{
    if (data.isEmpty())
        return;
    m_serialNumber = data.first().toInt(nullptr, 10);
    VqLog::info("Unit serial number is: {}", m_serialNumber);
}
