#pragma once

#include <QString>
#include <QtGlobal>

class QHostAddress;

// Display and key texts for the codes that describe IP media flows, PTP timing
// and audio packet times, and the check of a flow's destination address. The
// converters only name codes; they neither validate a configuration nor log.
// A code outside a table gives that table's fallback text.
namespace Brevane {
namespace IpTypes {

// Transport mode of a flow: 0 multicast, 1 mixed multicast/unicast, 2 unicast.
QString flowModeText(quint32 code);
QString flowModeKey(quint32 code);

// Whether a transport-mode key has a unicast leg. The first takes the
// "smpte-mixed" spelling of the mixed mode, the second the "hybrid" spelling
// that flowModeKey() writes. Both compare exactly and case-sensitively.
bool transportModeHasUnicastLeg(const QString& mode);
bool flowModeKeyHasUnicastLeg(const QString& key);

// IEEE 1588 clockAccuracy.
QString ptpClockAccuracyText(quint32 code);
QString ptpPortStateText(quint32 code);
QString ptpLockStateKey(quint32 code);
QString ptpLockStateText(quint32 code);

QString txFlowStandardText(quint32 code);
QString rxFlowStandardText(quint32 code);
QString packetTimeText(quint32 code);

QString receiverClassText(quint32 code);
QString interfaceTypeText(quint32 code);
QString sourceFilterModeText(quint32 code);
QString selectionModeText(quint32 code);
QString senderTypeText(quint32 code);
QString packingModeText(quint32 code);
QString flowRoleText(quint32 code);
QString audioSourceText(quint32 code);
QString lossOfSignalActionText(quint32 code);

// True when address has every host bit set for a network of prefixLength
// leading one bits. Prefix length 0 leaves only 255.255.255.255; prefix length
// 32 has no host bits, so every address counts. Lengths outside 0..32 are
// clamped into that range.
bool isBroadcastAddress(quint32 address, int prefixLength);

// Whether address may be the destination of a flow: an IPv4 address that is
// not 0.0.0.0, not in the IANA Local Network (224.0.0.0/24) or Internetwork
// (224.0.1.0/24) Control Blocks and not a broadcast address. When the address
// is refused for one of the last three reasons and reason is not null, the
// reason text is written to it; otherwise reason is left as it was. Addresses
// with no IPv4 form (IPv6) are refused as 0 is, without a reason.
bool isValidDestinationAddress(const QHostAddress& address, int prefixLength, QString* reason);

} // namespace IpTypes
} // namespace Brevane
