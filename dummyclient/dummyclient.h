#pragma once

#include "serialisabledatapacketacceptorinterface.h"

#include <QObject>
#include <QStringList>

class SerialisableDataPacketDistributor;

// This test client's behaviour: it logs the unit serial number and the IGMP
// maximum version whenever their datacores report them (validation messages
// instead of the version when the server attaches any), notes the end of the
// initial synchronisation, and offers two signals through which a command or a
// new IGMP version would reach the server. The connection builder wires it to
// the datacores; it does not look them up itself.
class DummyClient : public QObject, public SerialisableDataPacketAcceptorInterface
{
    Q_OBJECT

public:
    static const QString SYNC_COMPLETE_CLASS_NAME;

    explicit DummyClient(SerialisableDataPacketDistributor* distributor, QObject* parent = nullptr);

    bool canAcceptPacket(QString className) override;
    void acceptPacket(const SerialisableDataPacket& packet) override;

    bool isSyncComplete() const { return m_syncComplete; }
    quint32 igmpMaxVersion() const { return m_igmpMaxVersion; }
    qint32 serialNumber() const { return m_serialNumber; }

signals:
    void executeCommandWithParameters(QString command);
    void toConfigCoreIgmpMaxVersionUpdated(uint version);

public slots:
    void fromConfigCoreIgmpMaxVersionUpdated(QStringList data, QStringList validationMessages, bool active);
    void fromStatusCoreLicenseSerialUpdated(QStringList data, QStringList validationMessages, bool active);

private:
    bool m_syncComplete = false;
    quint32 m_igmpMaxVersion = 0;
    qint32 m_serialNumber = 0;
};
