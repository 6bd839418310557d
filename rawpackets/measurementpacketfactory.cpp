#include "measurementpacketfactory.h"

#include "aespresencedatapacket.h"
#include "ancillarystatusdatapacket.h"
#include "audiochannelstatusdatapacket.h"
#include "captions608bytepairsrawdatapacket.h"
#include "eyehistogramdata.h"
#include "loudnessenginerawdatapacket.h"
#include "metersdata.h"
#include "pithistogrampacket.h"
#include "ptpmedialatencypacket.h"
#include "rawsdijitterspectrumdatapacket.h"
#include "rawsdisamplegridpacket.h"
#include "refvsptppacket.h"
#include "scte104rawdatapacket.h"
#include "st337dolbydetectdata.h"
#include "teletextrawdatapacket.h"
#include "videoip2110_21datapacket.h"

namespace {

template <typename Packet>
std::shared_ptr<RawDataPacket> make(const QByteArray& frame, const RawDataPacketHeader& header)
{
    return std::make_shared<Packet>(frame, header);
}

} // namespace

std::shared_ptr<RawDataPacket> createMeasurementPacket(const QByteArray& frame, const RawDataPacketHeader& header)
{
    switch (header.packetType) {
    case EyeVerticalHistogramData::TYPE_ID:
        return make<EyeVerticalHistogramData>(frame, header);
    case EyeHorizontalHistogramData::TYPE_ID:
        return make<EyeHorizontalHistogramData>(frame, header);
    case PpmMetersData::TYPE_ID:
        return make<PpmMetersData>(frame, header);
    case PeakHoldMetersData::TYPE_ID:
        return make<PeakHoldMetersData>(frame, header);
    case PhaseMetersData::TYPE_ID:
        return make<PhaseMetersData>(frame, header);
    case InstantPeakDbMetersData::TYPE_ID:
        return make<InstantPeakDbMetersData>(frame, header);
    case InstantPeakLinearMetersData::TYPE_ID:
        return make<InstantPeakLinearMetersData>(frame, header);
    case ST337DolbyDetectData::TYPE_ID:
        return make<ST337DolbyDetectData>(frame, header);
    case RawSdiSampleGridPacket::TYPE_ID:
        return make<RawSdiSampleGridPacket>(frame, header);
    case RawSdiJitterSpectrumDataPacket::TYPE_ID:
        return make<RawSdiJitterSpectrumDataPacket>(frame, header);
    case JitterVerticalHistogramData::TYPE_ID:
        return make<JitterVerticalHistogramData>(frame, header);
    case VideoPitHistogramPacket::TYPE_ID:
        return make<VideoPitHistogramPacket>(frame, header);
    case AudioPitHistogramPacket::TYPE_ID:
        return make<AudioPitHistogramPacket>(frame, header);
    case AncPitHistogramPacket::TYPE_ID:
        return make<AncPitHistogramPacket>(frame, header);
    case AncillaryStatusDataPacket::TYPE_ID:
        return make<AncillaryStatusDataPacket>(frame, header);
    case AudioChannelStatusDataPacket::TYPE_ID:
        return make<AudioChannelStatusDataPacket>(frame, header);
    case AesPresenceDataPacket::TYPE_ID:
        return make<AesPresenceDataPacket>(frame, header);
    case TeletextRawDataPacket::TYPE_ID:
        return make<TeletextRawDataPacket>(frame, header);
    case EyeWindowedVerticalHistogramData::TYPE_ID:
        return make<EyeWindowedVerticalHistogramData>(frame, header);
    case VideoIp2110_21DataPacket::TYPE_ID:
        return make<VideoIp2110_21DataPacket>(frame, header);
    case PtpMediaLatencyPacket::TYPE_ID:
        return make<PtpMediaLatencyPacket>(frame, header);
    case Captions608bytePairsRawDataPacket::TYPE_ID:
        return make<Captions608bytePairsRawDataPacket>(frame, header);
    case RefVsPtpPacket::TYPE_ID:
        return make<RefVsPtpPacket>(frame, header);
    case SCTE104RawDataPacket::TYPE_ID:
        return make<SCTE104RawDataPacket>(frame, header);
    case LoudnessEngineRawDataPacket::TYPE_ID:
        return make<LoudnessEngineRawDataPacket>(frame, header);
    default:
        return {};
    }
}
