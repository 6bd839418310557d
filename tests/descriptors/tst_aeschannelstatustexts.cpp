#include "aeschannelstatustexts.h"

#include "audiochannelstatusdatapacket.h"
#include "measurementpacketfactory.h"

#include <QtTest>

#include <initializer_list>
#include <utility>

namespace {

using ByteValues = std::initializer_list<std::pair<int, int>>;

constexpr int PRO = 0x01;
const QString MICRO = QString::fromUtf8("50/15 µs");

QByteArray statusBytes(ByteValues values)
{
    QByteArray bytes(AesChannelStatusInput::STATUS_BYTES, '\0');
    for (const auto& value : values)
        bytes[value.first] = char(value.second);
    return bytes;
}

AesChannelStatusInput inputOf(const QByteArray& bytes, int statusValid = 1, int crccError = 0)
{
    AesChannelStatusInput input;
    input.statusValid = statusValid;
    input.crccError = crccError;
    for (int n = 0; n < bytes.size(); ++n)
        input.setByte(n, quint8(bytes.at(n)));
    return input;
}

const QList<QByteArray> FIELDS = {"crcc", "format", "audioMode", "emphasis", "lock", "samplingFrequency",
    "channelMode", "wordLength", "alignmentLevel", "channelOrigin", "channelDestination", "localSampleAddress",
    "timeOfDay", "reliability"};

// In the order of FIELDS.
QStringList allTexts(const QByteArray& bytes, int statusValid = 1, int crccError = 0)
{
    const AesChannelStatusTexts texts = decodeChannelStatus(inputOf(bytes, statusValid, crccError));
    return {texts.crcc, texts.format, texts.audioMode, texts.emphasis, texts.lock, texts.samplingFrequency,
        texts.channelMode, texts.wordLength, texts.alignmentLevel, texts.channelOrigin, texts.channelDestination,
        texts.localSampleAddress, texts.timeOfDay, texts.reliability};
}

void row(const QByteArray& name, const QByteArray& field, ByteValues values, const QString& expected,
    int statusValid = 1, int crccError = 0)
{
    QTest::newRow(field + ": " + name) << statusBytes(values) << statusValid << crccError << field << expected;
}

} // namespace

class tst_AesChannelStatusTexts : public QObject
{
    Q_OBJECT

private slots:
    void allZeroBlockIsConsumer();
    void professionalWithNothingIndicated();
    void field_data();
    void field();
    void inputFromReceivedRecord();
};

void tst_AesChannelStatusTexts::allZeroBlockIsConsumer()
{
    QCOMPARE(allTexts(statusBytes({})), QStringList({"No CRC", "Consumer", "PCM", "None", "N/A", "44.1", "Mode 0",
                                                     "Default (20)/20", "N/A", "", "", "", "", ""}));
}

void tst_AesChannelStatusTexts::professionalWithNothingIndicated()
{
    const QString nuls(4, QChar(0));
    QCOMPARE(allTexts(statusBytes({{0, PRO}})), QStringList({"CRCC Ok", "Pro", "PCM", "Unknown", "Locked",
        "Unspecified", "Unknown", "Default (20)", "Unknown", nuls, nuls, "00000000", "00:00:00:00", "All Ok"}));
}

void tst_AesChannelStatusTexts::field_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("statusValid");
    QTest::addColumn<int>("crccError");
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QString>("expected");

    row("pro, error wins over an invalid block", "crcc", {{0, PRO}}, "CRCC Bad", 0, 1);
    row("pro, error with a valid block", "crcc", {{0, PRO}}, "CRCC Bad", 1, -1);
    row("pro, no block", "crcc", {{0, PRO}}, "Invalid", 2, 0);
    row("consumer, no block", "crcc", {}, "Invalid", 0, 0);
    row("consumer ignores the CRCC flag", "crcc", {}, "No CRC", 1, 1);
    row("pro", "audioMode", {{0, PRO | 0x02}}, "Non-PCM");
    row("consumer", "audioMode", {{0, 0x02}}, "Non-PCM");

    const std::pair<int, const char*> proEmphasis[] = {{0, "Unknown"}, {4, "None"}, {28, "ITU-T J.17"}, {8, "?"},
        {16, "?"}, {20, "?"}, {24, "?"}};
    for (const auto& entry : proEmphasis)
        row("pro " + QByteArray::number(entry.first), "emphasis", {{0, PRO | entry.first}}, entry.second);
    row("pro 12", "emphasis", {{0, PRO | 12}}, MICRO);
    row("consumer 8", "emphasis", {{0, 8}}, MICRO);
    row("consumer 16", "emphasis", {{0, 16}}, "?");
    row("consumer 40", "emphasis", {{0, 40}}, "?");
    row("pro unlocked", "lock", {{0, PRO | 0x20}}, "Unlocked");
    row("consumer", "lock", {{0, 0x20}}, "N/A");

    const std::pair<int, const char*> proBase[] = {{64, "44.1"}, {128, "48"}, {192, "32"}};
    const std::pair<int, const char*> proBaseScaled[] = {{64, "44.0559"}, {128, "47.952"}, {192, "31.968"}};
    for (const auto& entry : proBase)
        row("pro byte 0 " + QByteArray::number(entry.first), "samplingFrequency", {{0, PRO | entry.first}},
            entry.second);
    for (const auto& entry : proBaseScaled)
        row("pro byte 0 " + QByteArray::number(entry.first) + " / 1.001", "samplingFrequency",
            {{0, PRO | entry.first}, {4, 0x80}}, entry.second);
    row("pro byte 0 wins over byte 4", "samplingFrequency", {{0, PRO | 128}, {4, 16}}, "48");
    const std::tuple<int, const char*, const char*> proExtended[] = {{8, "24", "23.976"}, {16, "96", "95.9041"},
        {24, "192", "191.808"}, {72, "22.05", "22.028"}, {80, "88.2", "88.1119"}, {88, "176.4", "176.224"},
        {0, "Unspecified", "Unspecified"}, {32, "Unspecified", "Unspecified"}, {124, "Unspecified", "Unspecified"}};
    for (const auto& entry : proExtended) {
        const int code = std::get<0>(entry);
        row("pro byte 4 " + QByteArray::number(code), "samplingFrequency", {{0, PRO}, {4, code | 0x03}},
            std::get<1>(entry));
        row("pro byte 4 " + QByteArray::number(code) + " / 1.001", "samplingFrequency", {{0, PRO}, {4, code | 0x80}},
            std::get<2>(entry));
    }
    const std::pair<int, const char*> consumerFrequency[] = {
        {0, "44.1"}, {2, "48"}, {3, "32"}, {1, "?"}, {4, "?"}, {15, "?"}, {0xF0, "44.1"}};
    for (const auto& entry : consumerFrequency)
        row("consumer byte 3 " + QByteArray::number(entry.first), "samplingFrequency", {{3, entry.first}},
            entry.second);

    const std::pair<int, const char*> proChannelMode[] = {{0, "Unknown"}, {8, "2 Channel"}, {4, "1 Channel"},
        {12, "Pri-Sec"}, {2, "Stereo"}, {14, "1 Ch 2xFs"}, {1, "1 Ch 2xFs"}, {9, "1 Ch 2xFs"}, {15, "Multichannel"},
        {3, "?"}, {0xF5, "?"}};
    for (const auto& entry : proChannelMode)
        row("pro " + QByteArray::number(entry.first), "channelMode", {{0, PRO}, {1, entry.first}}, entry.second);
    row("consumer mode 0", "channelMode", {{0, 0x3E}}, "Mode 0");
    row("consumer 64", "channelMode", {{0, 64}}, "?");
    row("consumer 128", "channelMode", {{0, 128}}, "?");

    row("pro user defined", "wordLength", {{0, PRO}, {2, 6 | 40}}, "User");
    for (const int reserved : {1, 3, 5, 7})
        row("pro reserved maximum " + QByteArray::number(reserved), "wordLength", {{0, PRO}, {2, reserved}}, "?");
    const std::tuple<int, const char*, const char*> proLengths[] = {{0, "Default (24)/24", "Default (20)/20"},
        {40, "24/24", "20/20"}, {32, "23/24", "19/20"}, {16, "22/24", "18/20"}, {48, "21/24", "17/20"},
        {8, "20/24", "16/20"}, {24, "?", "?"}, {56, "?", "?"}};
    for (const auto& entry : proLengths) {
        const int code = std::get<0>(entry);
        row("pro 24-bit code " + QByteArray::number(code), "wordLength", {{0, PRO}, {2, 4 | code}}, std::get<1>(entry));
        row("pro 20-bit code " + QByteArray::number(code), "wordLength", {{0, PRO}, {2, 2 | code | 192}},
            std::get<2>(entry));
    }
    const std::tuple<int, const char*, const char*> consumerLengths[] = {{0, "Default (24)/24", "Default (20)/20"},
        {10, "24/24", "20/20"}, {8, "23/24", "19/20"}, {4, "22/24", "18/20"}, {12, "21/24", "17/20"},
        {2, "20/24", "16/20"}, {6, "?", "?"}, {14, "?", "?"}};
    for (const auto& entry : consumerLengths) {
        const int code = std::get<0>(entry);
        row("consumer 24-bit code " + QByteArray::number(code), "wordLength", {{4, 1 | code}}, std::get<1>(entry));
        row("consumer 20-bit code " + QByteArray::number(code), "wordLength", {{4, code | 0xF0}}, std::get<2>(entry));
    }

    const std::pair<int, const char*> alignment[] = {{0, "Unknown"}, {64, "-18.06"}, {128, "-20"}, {192, "?"}};
    for (const auto& entry : alignment)
        row("pro " + QByteArray::number(entry.first), "alignmentLevel", {{0, PRO}, {2, entry.first | 0x3F}},
            entry.second);
    row("consumer", "alignmentLevel", {{2, 64}}, "N/A");

    row("pro letters", "channelOrigin", {{0, PRO}, {6, 'A'}, {7, 'B'}, {8, 'C'}, {9, 'D'}, {10, 'X'}}, "ABCD");
    row("pro Latin-1", "channelDestination", {{0, PRO}, {9, 'D'}, {10, 0xC4}, {11, 'b'}, {12, '1'}, {13, ' '}},
        QString::fromUtf8("Äb1 "));
    row("pro", "localSampleAddress", {{0, PRO}, {14, 0x01}, {15, 0xAB}, {16, 0xFE}, {17, 0x0C}}, "01ABFE0C");
    row("pro", "timeOfDay", {{0, PRO}, {18, 0x01}, {19, 0x02}, {20, 0x0A}, {21, 0xFF}}, "01:02:0A:FF");
    row("consumer has none", "timeOfDay", {{18, 0x01}}, "");

    const std::pair<int, const char*> reliability[] = {{0x00, "All Ok"}, {0x0F, "All Ok"}, {0xF0, "All Bad"},
        {0x10, "Ch,Sa,Ti - Ok"}, {0x20, "Si,Sa,Ti - Ok"}, {0x40, "Si,Ch,Ti - Ok"}, {0x80, "Si,Ch,Sa - Ok"},
        {0xA0, "Si,Sa - Ok"}, {0x70, "Ti - Ok"}, {0xE0, "Si - Ok"}};
    for (const auto& entry : reliability)
        row("pro byte 22 " + QByteArray::number(entry.first, 16), "reliability", {{0, PRO}, {22, entry.first}},
            entry.second);
}

void tst_AesChannelStatusTexts::field()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, statusValid);
    QFETCH(int, crccError);
    QFETCH(QByteArray, field);
    QFETCH(QString, expected);
    QVERIFY(FIELDS.contains(field));
    QCOMPARE(allTexts(bytes, statusValid, crccError).at(FIELDS.indexOf(field)), expected);
}

void tst_AesChannelStatusTexts::inputFromReceivedRecord()
{
    // One record: status valid, three words, status bytes 0..23 = 0x81, 0x01, ... , word 11, CRCC error, one word.
    QByteArray payload = QByteArray::fromHex("00000000 00000000 00000001 00000001 00000000 00000000 00000000");
    for (int n = 0; n < AesChannelStatusInput::STATUS_BYTES; ++n)
        payload.append(char(n == 0 ? 0x81 : n));
    payload += QByteArray::fromHex("00000000 00000005 00000000 00");
    RawDataPacketHeader header;
    header.packetType = AudioChannelStatusDataPacket::TYPE_ID;
    header.payloadLength = quint32(payload.size());
    const auto packet = std::static_pointer_cast<AudioChannelStatusDataPacket>(
        createMeasurementPacket(QByteArray(RawDataPacketHeader::SIZE, '\0') + payload, header));

    const AesChannelStatusInput input = AesChannelStatusInput::fromRecord(packet->values().channels.value(0));
    QCOMPARE(input.statusValid, 1);
    QCOMPARE(input.crccError, 5);
    for (int n = 0; n < AesChannelStatusInput::STATUS_BYTES; ++n)
        QCOMPARE(input.byte(n), quint8(n == 0 ? 0x81 : n));
    const AesChannelStatusTexts texts = decodeChannelStatus(input);
    QCOMPARE((QStringList{texts.crcc, texts.localSampleAddress, texts.timeOfDay}),
             (QStringList{"CRCC Bad", "0E0F1011", "12:13:14:15"}));
}

QTEST_GUILESS_MAIN(tst_AesChannelStatusTexts)
#include "tst_aeschannelstatustexts.moc"
