#include "aeschannelstatustexts.h"

#include <QStringList>

namespace {

struct CodeText
{
    int code;
    const char* text;
};

struct CodeFrequency
{
    int code;
    double kiloHertz;
};

// Encoded word length: the length when the maximum is 24 bits and when it is
// 20 bits; the "not indicated" code still implies the maximum.
struct CodeWordLength
{
    int code;
    int lengthAt24;
    int lengthAt20;
    bool indicated;
};

const QString UNKNOWN_CODE = QStringLiteral("?");
constexpr char MICROSECONDS_EMPHASIS[] = "50/15 µs";

constexpr CodeText PROFESSIONAL_EMPHASIS[] = {
    {0, "Unknown"}, {4, "None"}, {12, MICROSECONDS_EMPHASIS}, {28, "ITU-T J.17"}};
constexpr CodeText PROFESSIONAL_CHANNEL_MODE[] = {{0, "Unknown"}, {8, "2 Channel"}, {4, "1 Channel"},
    {12, "Pri-Sec"}, {2, "Stereo"}, {14, "1 Ch 2xFs"}, {1, "1 Ch 2xFs"}, {9, "1 Ch 2xFs"}, {15, "Multichannel"}};
constexpr CodeText PROFESSIONAL_ALIGNMENT_LEVEL[] = {{0, "Unknown"}, {64, "-18.06"}, {128, "-20"}};
constexpr CodeFrequency PROFESSIONAL_BASE_FREQUENCY[] = {{64, 44.1}, {128, 48}, {192, 32}};
constexpr CodeFrequency PROFESSIONAL_EXTENDED_FREQUENCY[] = {
    {8, 24}, {16, 96}, {24, 192}, {72, 22.05}, {80, 88.2}, {88, 176.4}};
constexpr CodeWordLength PROFESSIONAL_WORD_LENGTH[] = {{0, 24, 20, false}, {40, 24, 20, true}, {32, 23, 19, true},
    {16, 22, 18, true}, {48, 21, 17, true}, {8, 20, 16, true}};

constexpr CodeText CONSUMER_EMPHASIS[] = {{0, "None"}, {8, MICROSECONDS_EMPHASIS}};
constexpr CodeText CONSUMER_SAMPLING_FREQUENCY[] = {{0, "44.1"}, {2, "48"}, {3, "32"}};
constexpr CodeWordLength CONSUMER_WORD_LENGTH[] = {{0, 24, 20, false}, {10, 24, 20, true}, {8, 23, 19, true},
    {4, 22, 18, true}, {12, 21, 17, true}, {2, 20, 16, true}};

constexpr double PULL_DOWN = 1.001;

template <typename Entry, std::size_t N>
const Entry* find(const Entry (&table)[N], int code)
{
    for (const Entry& entry : table) {
        if (entry.code == code)
            return &entry;
    }
    return nullptr;
}

template <std::size_t N>
QString textOf(const CodeText (&table)[N], int code)
{
    const CodeText* entry = find(table, code);
    return entry ? QString::fromUtf8(entry->text) : UNKNOWN_CODE;
}

template <std::size_t N>
QString wordLengthText(const CodeWordLength (&table)[N], int code, int maximum)
{
    const CodeWordLength* entry = find(table, code);
    if (!entry)
        return UNKNOWN_CODE;
    const int length = maximum == 24 ? entry->lengthAt24 : entry->lengthAt20;
    return entry->indicated ? QStringLiteral("%1/%2").arg(length).arg(maximum)
                            : QStringLiteral("Default (%1)/%2").arg(length).arg(maximum);
}

QString audioModeText(quint8 byte0)
{
    return (byte0 & 0x02) ? QStringLiteral("Non-PCM") : QStringLiteral("PCM");
}

QString professionalSamplingFrequency(const AesChannelStatusInput& input)
{
    const int baseCode = input.byte(0) & 192;
    const CodeFrequency* entry = baseCode == 0 ? find(PROFESSIONAL_EXTENDED_FREQUENCY, input.byte(4) & 124)
                                               : find(PROFESSIONAL_BASE_FREQUENCY, baseCode);
    if (!entry)
        return QStringLiteral("Unspecified");
    const bool pulledDown = (input.byte(4) & 0x80) != 0;
    return QString::number(pulledDown ? entry->kiloHertz / PULL_DOWN : entry->kiloHertz, 'g', 6);
}

QString professionalWordLength(quint8 byte2)
{
    switch (byte2 & 7) {
    case 0:
        return QStringLiteral("Default (20)");
    case 6:
        return QStringLiteral("User");
    case 4:
        return wordLengthText(PROFESSIONAL_WORD_LENGTH, byte2 & 56, 24);
    case 2:
        return wordLengthText(PROFESSIONAL_WORD_LENGTH, byte2 & 56, 20);
    default:
        return UNKNOWN_CODE;
    }
}

QString latin1Bytes(const AesChannelStatusInput& input, int first, int count)
{
    QString text;
    for (int n = first; n < first + count; ++n)
        text.append(QChar::fromLatin1(char(input.byte(n))));
    return text;
}

QString hexadecimal(int value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

QString reliabilityText(quint8 byte22)
{
    const int unreliable = byte22 >> 4;
    if (unreliable == 0)
        return QStringLiteral("All Ok");
    if (unreliable == 0xF)
        return QStringLiteral("All Bad");
    // One name per group of bytes, in the order of bits 4 to 7.
    const char* const groups[] = {"Si", "Ch", "Sa", "Ti"};
    QStringList reliable;
    for (int bit = 0; bit < 4; ++bit) {
        if (!(unreliable & (1 << bit)))
            reliable.append(QLatin1String(groups[bit]));
    }
    return reliable.join(QLatin1Char(',')) + QStringLiteral(" - Ok");
}

} // namespace

AesChannelStatusTexts decodeChannelStatus(const AesChannelStatusInput& input)
{
    return (input.byte(0) & 0x01) ? decodeProfessionalChannelStatus(input) : decodeConsumerChannelStatus(input);
}

AesChannelStatusTexts decodeProfessionalChannelStatus(const AesChannelStatusInput& input)
{
    const quint8 byte0 = input.byte(0);
    AesChannelStatusTexts texts;
    if (input.crccError != 0)
        texts.crcc = QStringLiteral("CRCC Bad");
    else
        texts.crcc = input.statusValid == 1 ? QStringLiteral("CRCC Ok") : QStringLiteral("Invalid");
    texts.format = QStringLiteral("Pro");
    texts.audioMode = audioModeText(byte0);
    texts.emphasis = textOf(PROFESSIONAL_EMPHASIS, byte0 & 28);
    texts.lock = (byte0 & 0x20) ? QStringLiteral("Unlocked") : QStringLiteral("Locked");
    texts.samplingFrequency = professionalSamplingFrequency(input);
    texts.channelMode = textOf(PROFESSIONAL_CHANNEL_MODE, input.byte(1) & 15);
    texts.wordLength = professionalWordLength(input.byte(2));
    texts.alignmentLevel = textOf(PROFESSIONAL_ALIGNMENT_LEVEL, input.byte(2) & 192);
    texts.channelOrigin = latin1Bytes(input, 6, 4);
    texts.channelDestination = latin1Bytes(input, 10, 4);
    texts.localSampleAddress = hexadecimal(input.byte(14) << 8 | input.byte(15), 4)
        + hexadecimal(input.byte(16) << 8 | input.byte(17), 4);
    texts.timeOfDay = QStringLiteral("%1:%2:%3:%4")
                          .arg(hexadecimal(input.byte(18), 2), hexadecimal(input.byte(19), 2),
                              hexadecimal(input.byte(20), 2), hexadecimal(input.byte(21), 2));
    texts.reliability = reliabilityText(input.byte(22));
    return texts;
}

AesChannelStatusTexts decodeConsumerChannelStatus(const AesChannelStatusInput& input)
{
    const quint8 byte0 = input.byte(0);
    const quint8 byte4 = input.byte(4);
    AesChannelStatusTexts texts;
    texts.crcc = input.statusValid == 1 ? QStringLiteral("No CRC") : QStringLiteral("Invalid");
    texts.format = QStringLiteral("Consumer");
    texts.audioMode = audioModeText(byte0);
    texts.emphasis = textOf(CONSUMER_EMPHASIS, byte0 & 56);
    texts.lock = QStringLiteral("N/A");
    texts.samplingFrequency = textOf(CONSUMER_SAMPLING_FREQUENCY, input.byte(3) & 15);
    texts.channelMode = (byte0 & 192) == 0 ? QStringLiteral("Mode 0") : UNKNOWN_CODE;
    texts.wordLength = wordLengthText(CONSUMER_WORD_LENGTH, byte4 & 14, (byte4 & 0x01) ? 24 : 20);
    texts.alignmentLevel = QStringLiteral("N/A");
    return texts;
}
