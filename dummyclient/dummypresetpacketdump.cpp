#include "dummypresetpacketdump.h"

#include "serialisabledatapacketdistributor.h"

namespace {
const QString CLIENT_PRESET_COLLECTION = QStringLiteral("ClientPresetCollection");
const QString PRESET_INVENTORY = QStringLiteral("PresetInventory");
}

DummyPresetPacketDump::DummyPresetPacketDump(SerialisableDataPacketDistributor* distributor, QObject* parent)
    : QObject(parent)
{
    distributor->registerPacketAcceptor(this, CLIENT_PRESET_COLLECTION);
    distributor->registerPacketAcceptor(this, PRESET_INVENTORY);
}

bool DummyPresetPacketDump::canAcceptPacket(QString className)
{
    return className == CLIENT_PRESET_COLLECTION || className == PRESET_INVENTORY;
}

void DummyPresetPacketDump::acceptPacket(const SerialisableDataPacket& /*packet*/)
{
}
