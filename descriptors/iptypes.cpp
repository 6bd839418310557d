#include "iptypes.h"

#include <QHostAddress>

#include <cstddef>

namespace Brevane {
namespace IpTypes {

namespace {

// Texts for the codes 0, 1, 2, ... of a table; other codes give the fallback.
// The u8 literals keep the micro signs UTF-8 whatever the execution charset.
template <std::size_t N>
QString textAt(const char* const (&texts)[N], quint32 code, const char* fallback)
{
    return QString::fromUtf8(code < N ? texts[code] : fallback);
}

constexpr quint32 PTP_ACCURACY_FIRST_NAMED = 32;
constexpr quint32 PTP_ACCURACY_ALTERNATE_PROFILE_FIRST = 128;
constexpr quint32 PTP_ACCURACY_ALTERNATE_PROFILE_LAST = 253;
constexpr quint32 PTP_ACCURACY_UNKNOWN = 254;

constexpr quint32 PACKET_TIME_INVALID = 255;

constexpr quint32 LOCAL_NETWORK_CONTROL_BLOCK = 0xE0000000u; // 224.0.0.0/24
constexpr quint32 INTERNETWORK_CONTROL_BLOCK = 0xE0000100u; // 224.0.1.0/24
constexpr quint32 CONTROL_BLOCK_MASK = 0xFFFFFF00u;
constexpr quint32 LIMITED_BROADCAST = 0xFFFFFFFFu;

} // namespace

QString flowModeText(quint32 code)
{
    static const char* const TEXTS[] = {"Multicast (M/M)", "SMPTE Mixed (M/U)", "Unicast (U/U)"};
    return textAt(TEXTS, code, "Unknown");
}

QString flowModeKey(quint32 code)
{
    static const char* const KEYS[] = {"multicast", "hybrid", "unicast"};
    return textAt(KEYS, code, "Unknown");
}

bool transportModeHasUnicastLeg(const QString& mode)
{
    return mode == QLatin1String("smpte-mixed") || mode == QLatin1String("unicast");
}

bool flowModeKeyHasUnicastLeg(const QString& key)
{
    return key == QLatin1String("hybrid") || key == QLatin1String("unicast");
}

QString ptpClockAccuracyText(quint32 code)
{
    // The micro sign is U+00B5 here; "< 1ms" has no blank, as the instrument has always shown it.
    static const char* const NAMED[] = {
        "< 25 ns",             // 32
        "< 100 ns",            // 33
        "< 250 ns",            // 34
        u8"< 1 \u00B5s",       // 35
        u8"< 2.5 \u00B5s",     // 36
        u8"< 10 \u00B5s",      // 37
        u8"< 25 \u00B5s",      // 38
        u8"< 100 \u00B5s",     // 39
        u8"< 250 \u00B5s",     // 40
        "< 1ms",               // 41
        "< 2.5 ms",            // 42
        "< 10 ms",             // 43
        "< 25 ms",             // 44
        "< 100 ms",            // 45
        "< 250 ms",            // 46
        "< 1 s",               // 47
        "< 10 s",              // 48
        "> 10 s"               // 49
    };
    constexpr quint32 namedCount = sizeof(NAMED) / sizeof(NAMED[0]);

    if (code >= PTP_ACCURACY_FIRST_NAMED && code < PTP_ACCURACY_FIRST_NAMED + namedCount)
        return QString::fromUtf8(NAMED[code - PTP_ACCURACY_FIRST_NAMED]);
    if (code >= PTP_ACCURACY_ALTERNATE_PROFILE_FIRST && code <= PTP_ACCURACY_ALTERNATE_PROFILE_LAST)
        return QStringLiteral("Use alternate PTP Profile");
    if (code == PTP_ACCURACY_UNKNOWN)
        return QStringLiteral("Unknown");
    return QStringLiteral("Reserved");
}

QString ptpPortStateText(quint32 code)
{
    // 9 and 11 both read "Follow" on purpose.
    static const char* const TEXTS[] = {"No PTP",       "Initializing", "Faulty",  "Disabled",
                                        "Listening",    "Pre Lead",     "Lead",    "Passive",
                                        "Uncalibrated", "Follow",       "Unknown", "Follow"};
    return textAt(TEXTS, code, "Error");
}

QString ptpLockStateKey(quint32 code)
{
    static const char* const KEYS[] = {"Notlocked", "InHoldover", "FrequencyLockedButNotPhaseLocked",
                                       "FrequencyAndPhaseLocked"};
    return textAt(KEYS, code, "Error");
}

QString ptpLockStateText(quint32 code)
{
    static const char* const TEXTS[] = {"Not locked", "In Holdover", "Frequency Locked, But Not Phase Locked",
                                        "Frequency And Phase Locked"};
    return textAt(TEXTS, code, "Error");
}

QString txFlowStandardText(quint32 code)
{
    static const char* const TEXTS[] = {"2110-10", "2110-20", "2110-30", "2110-40"};
    return textAt(TEXTS, code, "Error");
}

QString rxFlowStandardText(quint32 code)
{
    static const char* const TEXTS[] = {"2022-6", "2110-20", "2110-30", "2110-31", "2110-40", "Other IP"};
    return textAt(TEXTS, code, "Error");
}

QString packetTimeText(quint32 code)
{
    // Greek small mu (U+03BC) here, unlike the micro sign of the PTP accuracy texts.
    static const char* const TEXTS[] = {u8"125 \u03BCs", u8"250 \u03BCs", u8"330 \u03BCs", "1 ms", "4 ms"};
    if (code == PACKET_TIME_INVALID)
        return QStringLiteral("Invalid");
    return textAt(TEXTS, code, "Error");
}

QString receiverClassText(quint32 code)
{
    static const char* const TEXTS[] = {"Class A", "Class B", "Class C", "Class D"};
    return textAt(TEXTS, code, "Error");
}

QString interfaceTypeText(quint32 code)
{
    static const char* const TEXTS[] = {"SFP", "SFP"};
    return textAt(TEXTS, code, "Error");
}

QString sourceFilterModeText(quint32 code)
{
    static const char* const TEXTS[] = {"Any", "OnlyInclude", "Exclude"};
    return textAt(TEXTS, code, "Error");
}

QString selectionModeText(quint32 code)
{
    static const char* const TEXTS[] = {"Manual", "Auto"};
    return textAt(TEXTS, code, "Error");
}

QString senderTypeText(quint32 code)
{
    static const char* const TEXTS[] = {"Gapped", "Linear"};
    return textAt(TEXTS, code, "Error");
}

QString packingModeText(quint32 code)
{
    static const char* const TEXTS[] = {"BPM", "GPM"};
    return textAt(TEXTS, code, "Error");
}

QString flowRoleText(quint32 code)
{
    static const char* const TEXTS[] = {"Monitor", "Generator"};
    return textAt(TEXTS, code, "Error");
}

QString audioSourceText(quint32 code)
{
    static const char* const TEXTS[] = {"Monitored Audio", "Metered Audio", "Generator"};
    return textAt(TEXTS, code, "Error");
}

QString lossOfSignalActionText(quint32 code)
{
    static const char* const TEXTS[] = {"Black Screen", "Freeze Last Frame"};
    return textAt(TEXTS, code, "?");
}

bool isBroadcastAddress(quint32 address, int prefixLength)
{
    const int length = qBound(0, prefixLength, 32);
    // A shift by 32 is undefined, so the empty mask is spelled out.
    const quint32 mask = length == 0 ? 0u : LIMITED_BROADCAST << (32 - length);
    return address == (address | ~mask);
}

bool isValidDestinationAddress(const QHostAddress& address, int prefixLength, QString* reason)
{
    const quint32 a = address.toIPv4Address();
    const bool inLocalBlock = (a & CONTROL_BLOCK_MASK) == LOCAL_NETWORK_CONTROL_BLOCK;
    const bool inInternetworkBlock = (a & CONTROL_BLOCK_MASK) == INTERNETWORK_CONTROL_BLOCK;
    const bool broadcast = isBroadcastAddress(a, prefixLength) || a == LIMITED_BROADCAST;

    if (reason) {
        if (inLocalBlock)
            *reason = QStringLiteral("Destination IP is in the IANA Local Network Control Block");
        else if (inInternetworkBlock)
            *reason = QStringLiteral("Destination IP is in the IANA Internetwork Control Block");
        else if (broadcast)
            *reason = QStringLiteral("Destination IP is a Broadcast IP address");
    }
    return !inLocalBlock && !inInternetworkBlock && a != 0 && !address.isNull() && !broadcast;
}

} // namespace IpTypes
} // namespace Brevane
