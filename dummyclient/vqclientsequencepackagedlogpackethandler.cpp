#include "vqclientsequencepackagedlogpackethandler.h"

#include "audioinputpresencechangeeventpacket.h"
#include "ipinterfaceseventpacket.h"
#include "iprxeventpacket.h"
#include "iptxeventpacket.h"
#include "ptpeventpacket.h"
#include "referencelockingeventpacket.h"
#include "restapirequesteventpacket.h"
#include "scte104eventpacket.h"
#include "sdiinputratechangeeventpacket.h"
#include "sdiinputvideostandardchangeeventpacket.h"
#include "sdijitteralignmentrangeconformanceeventpacket.h"
#include "sdijittertimingrangeconformanceeventpacket.h"
#include "sequencepackagedlogpacket.h"
#include "sfpeventpacket.h"

namespace {

template <typename Event>
std::shared_ptr<LogSerialisableDataPacket> makeEvent()
{
    return std::make_shared<Event>();
}

struct EventClass
{
    const QString& wireName;
    std::shared_ptr<LogSerialisableDataPacket> (*create)();
};

} // namespace

VqClientSequencePackagedLogPacketHandler::VqClientSequencePackagedLogPacketHandler(QObject* parent)
    : QObject(parent)
{
}

bool VqClientSequencePackagedLogPacketHandler::canAcceptPacket(QString className)
{
    return className == SequencePackagedLogPacket::CLASS_NAME;
}

std::shared_ptr<LogSerialisableDataPacket>
VqClientSequencePackagedLogPacketHandler::createEventPacket(const SerialisableDataPacket& embedded)
{
    static const EventClass classes[] = {
        {SdiInputRateChangeEventPacket::CLASS_NAME, makeEvent<SdiInputRateChangeEventPacket>},
        {SdiInputVideoStandardChangeEventPacket::CLASS_NAME, makeEvent<SdiInputVideoStandardChangeEventPacket>},
        {SdiJitterAlignmentRangeConformanceEventPacket::CLASS_NAME,
         makeEvent<SdiJitterAlignmentRangeConformanceEventPacket>},
        {SdiJitterTimingRangeConformanceEventPacket::CLASS_NAME, makeEvent<SdiJitterTimingRangeConformanceEventPacket>},
        {ReferenceLockingEventPacket::CLASS_NAME, makeEvent<ReferenceLockingEventPacket>},
        {RestApiRequestEventPacket::CLASS_NAME, makeEvent<RestApiRequestEventPacket>},
        {IpTxEventPacket::CLASS_NAME, makeEvent<IpTxEventPacket>},
        {IpRxEventPacket::CLASS_NAME, makeEvent<IpRxEventPacket>},
        {IpInterfacesEventPacket::CLASS_NAME, makeEvent<IpInterfacesEventPacket>},
        {SfpEventPacket::CLASS_NAME, makeEvent<SfpEventPacket>},
        {AudioInputPresenceChangeEventPacket::CLASS_NAME, makeEvent<AudioInputPresenceChangeEventPacket>},
        {PtpEventPacket::CLASS_NAME, makeEvent<PtpEventPacket>},
        {SCTE104EventPacket::CLASS_NAME, makeEvent<SCTE104EventPacket>},
    };

    const QString className = embedded.className();
    for (const EventClass& eventClass : classes) {
        if (eventClass.wireName == className) {
            std::shared_ptr<LogSerialisableDataPacket> event = eventClass.create();
            event->jsonObject() = embedded.jsonObject();
            return event;
        }
    }
    return nullptr;
}

void VqClientSequencePackagedLogPacketHandler::acceptPacket(const SerialisableDataPacket& packet)
{
    const SequencePackagedLogPacket carrier(packet);
    bool ok = false;
    const SerialisableDataPacket embedded = carrier.logPacket(&ok);
    if (!ok)
        return;
    const std::shared_ptr<LogSerialisableDataPacket> event = createEventPacket(embedded);
    if (!event)
        return;
    emit newLogEntry(QStringLiteral("%1 %2").arg(event->dateTime().toString(Qt::TextDate), event->toLogString()));
}
