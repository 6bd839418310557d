#include "datacorevalidstatusmessage.h"

namespace {

// Indexed by reason code; codes 0, 1, 45 and 46 have no text.
const char* const TEXTS[] = {
    nullptr,
    nullptr,
    "Stored integer is Oversized",
    "Stored integer is Undersized",
    "Stored number is Oversized",
    "Stored number is Undersized",
    "Stored value could not be deserialised into the specified integral type",
    "Stored value could not be deserialised into the specified floating point type",
    "Stored value could not be deserialised into type int",
    "Stored value could not be deserialised into valid enum value",
    "Stored value could not be deserialised into type boolean",
    "Stored value could not be deserialised into type VideoStandardUserDescription",
    "Stored value could not be deserialised into type FalseColourOverlayRangesSummaryStruct",
    "Stored value could not be deserialised into type SfpData",
    "Stored value could not be deserialised into type ActivePictureCrcValuesList",
    "Stored value could not be deserialised into GrandmasterInfo",
    "Stored value could not be deserialised into AudioFlowChannelsStructList",
    "Stored value could not be deserialised into AudioFlowDataList",
    "Stored value could not be deserialised into PTP Monitoring data",
    "Stored value could not be deserialised into GPIO Config data",
    "Stored value could not be deserialised into desired type",
    "Stored Array has too few items",
    "Stored Array has too many items",
    "Stored Array contains duplicate items",
    "The picture extends beyond the viewable area",
    "The payload identifier is required and is missing",
    "The stored value is not supported",
    "The current configuration is in an invalid state",
    "Not enouch space in active line for pathological pairs",
    "Stored value could not be deserialised into type VideoStandard",
    "Stored value could not be deserialised into type VideoStandard 2110",
    "IpV4 Address is '0.0.0.0' which is considered invalid",
    "Invalid Mac address",
    "IpV4 address outside multicast range of 224.0.0.0 to 239.255.255.255",
    "IPV4 address in reserved range of multicast address space (224.0.0.0 to 224.0.1.255)",
    "IPV4 address inside range of multicast address space (224.0.0.0 to 239.255.255.255)",
    "Inter packet distribution range is not valid for the current standard",
    "Single line trigger not supported for level B",
    "Single field trigger not supported for progressive",
    "Driver A requires recalibration and Vq restart",
    "Jitter lock failed",
    "Jitter measurement unreliable (H)",
    "Jitter measurement unreliable (L)",
    "2110 Video standard parameters are invalid",
    "Packets per marker bit not stable, 2110-21 will not function correctly",
    nullptr,
    nullptr,
    "25G SFPs are not supported on this Vq device",
    "Bouncing box not supported for Level B mapping structure II, III, IV",
};

} // namespace

DatacoreValidStatusMessage DatacoreValidStatusMessage::fromJson(const QJsonObject& object)
{
    if (object.contains(QLatin1String(CLASS_NAME)))
        return DatacoreValidStatusMessage(object);
    return DatacoreValidStatusMessage(TYPE_UNSPECIFIED, 0);
}

QString DatacoreValidStatusMessage::className() const
{
    return QLatin1String(CLASS_NAME);
}

QString DatacoreValidStatusMessage::text() const
{
    return tableText(TEXTS, identifier());
}
