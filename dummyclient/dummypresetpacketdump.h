#pragma once

#include "serialisabledatapacketacceptorinterface.h"

#include <QObject>

class SerialisableDataPacketDistributor;

// Gives the server's preset packets ("ClientPresetCollection",
// "PresetInventory") a receiver and discards them: this client has no use for
// presets, and without a receiver every one would be logged as unclaimed.
class DummyPresetPacketDump : public QObject, public SerialisableDataPacketAcceptorInterface
{
    Q_OBJECT

public:
    DummyPresetPacketDump(SerialisableDataPacketDistributor* distributor, QObject* parent = nullptr);

    bool canAcceptPacket(QString className) override;
    void acceptPacket(const SerialisableDataPacket& packet) override;
};
