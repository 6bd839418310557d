#include "aeschannelstatustexts.h"

#include "audiochannelstatusdatapacket.h"
#include "measurementpacketfactory.h"

#include <QtTest>

namespace {

using ByteValues = QVector<QPair<int, int>>;

constexpr int PRO = 0x01;

const QList<QByteArray> FIELDS = {"crcc", "format", "audioMode", "emphasis", "lock", "samplingFrequency",
    "channelMode", "wordLength", "alignmentLevel", "channelOrigin", "channelDestination", "localSampleAddress",
    "timeOfDay", "reliability"};

// In the order of FIELDS.
QStringList allTexts(const ByteValues& values, int statusValid = 1, int crccError = 0)
{
    AesChannelStatusInput input;
    input.statusValid = statusValid;
    input.crccError = crccError;
    for (const auto& value : values)
        input.setByte(value.first, quint8(value.second));
    const AesChannelStatusTexts texts = decodeChannelStatus(input);
    return {texts.crcc, texts.format, texts.audioMode, texts.emphasis, texts.lock, texts.samplingFrequency,
        texts.channelMode, texts.wordLength, texts.alignmentLevel, texts.channelOrigin, texts.channelDestination,
        texts.localSampleAddress, texts.timeOfDay, texts.reliability};
}

// The block's bytes and flags and the text one field must get.
struct Row
{
    QByteArray field;
    ByteValues values;
    QString expected;
    int statusValid = 1;
    int crccError = 0;
};

const QString NULS(4, QChar(0));

// Every field of both kinds of block with no code set ("all"); then each table
// at its ends, one unassigned code and the bits outside its mask.
const Row ROWS[] = {{"all", {}, "No CRC|Consumer|PCM|None|N/A|44.1|Mode 0|Default (20)/20|N/A|||||"},
    {"all", {{0, PRO}}, "CRCC Ok|Pro|PCM|Unknown|Locked|Unspecified|Unknown|Default (20)|Unknown|" + NULS + '|' + NULS
        + "|00000000|00:00:00:00|All Ok"},
    {"crcc", {{0, PRO}}, "CRCC Bad", 1, -1}, {"crcc", {{0, PRO}}, "Invalid", 2, 0},
    {"crcc", {}, "Invalid", 0, 0}, {"audioMode", {{0, PRO | 0x02}}, "Non-PCM"},
    {"emphasis", {{0, PRO | 28}}, "ITU-T J.17"}, {"emphasis", {{0, 8}}, "50/15 µs"}, {"emphasis", {{0, 40}}, "?"},
    {"lock", {{0, PRO | 0x20}}, "Unlocked"}, {"samplingFrequency", {{0, PRO | 128}, {4, 0x80}}, "47.952"},
    {"samplingFrequency", {{0, PRO | 128}, {4, 16}}, "48"},
    {"samplingFrequency", {{0, PRO}, {4, 8 | 0x03}}, "24"},
    {"samplingFrequency", {{0, PRO}, {4, 88 | 0x80}}, "176.224"},
    {"samplingFrequency", {{3, 0xF3}}, "32"}, {"samplingFrequency", {{3, 15}}, "?"},
    {"channelMode", {{0, PRO}, {1, 15}}, "Multichannel"}, {"channelMode", {{0, PRO}, {1, 0xF5}}, "?"},
    {"channelMode", {{0, 0x3E}}, "Mode 0"}, {"channelMode", {{0, 64}}, "?"},
    {"wordLength", {{0, PRO}, {2, 6 | 40}}, "User"}, {"wordLength", {{0, PRO}, {2, 7}}, "?"},
    {"wordLength", {{0, PRO}, {2, 4}}, "Default (24)/24"},
    {"wordLength", {{0, PRO}, {2, 2 | 8 | 192}}, "16/20"}, {"wordLength", {{0, PRO}, {2, 4 | 24}}, "?"},
    {"wordLength", {{4, 1}}, "Default (24)/24"}, {"wordLength", {{4, 2 | 0xF0}}, "16/20"},
    {"alignmentLevel", {{0, PRO}, {2, 64 | 0x3F}}, "-18.06"},
    {"channelOrigin", {{0, PRO}, {6, 'A'}, {7, 'B'}, {8, 'C'}, {9, 'D'}, {10, 'X'}}, "ABCD"},
    {"channelDestination", {{0, PRO}, {9, 'D'}, {10, 0xC4}, {11, 'b'}, {12, '1'}, {13, ' '}},
        QString::fromUtf8("Äb1 ")},
    {"reliability", {{0, PRO}, {22, 0xF0}}, "All Bad"}, {"reliability", {{0, PRO}, {22, 0xAF}}, "Si,Sa - Ok"}};

} // namespace

class tst_AesChannelStatusTexts : public QObject
{
    Q_OBJECT

private slots:
    void field_data();
    void field();
    void inputFromReceivedRecord();
};

void tst_AesChannelStatusTexts::field_data()
{
    QTest::addColumn<int>("index");
    for (int index = 0; index < int(sizeof ROWS / sizeof ROWS[0]); ++index)
        QTest::newRow(ROWS[index].field + ' ' + QByteArray::number(index)) << index;
}

void tst_AesChannelStatusTexts::field()
{
    QFETCH(int, index);
    const Row& row = ROWS[index];
    const QStringList texts = allTexts(row.values, row.statusValid, row.crccError);
    QCOMPARE(row.field == "all" ? texts.join('|') : texts.at(FIELDS.indexOf(row.field)), row.expected);
}

void tst_AesChannelStatusTexts::inputFromReceivedRecord()
{
    // One record: status valid, three words, status bytes 0..23 = 0x81, 0x01, ... , word 11, CRCC error, one word.
    QByteArray payload = QByteArray::fromHex("00000000 00000000 00000001 00000001 00000000 00000000 00000000");
    for (int n = 0; n < AesChannelStatusInput::STATUS_BYTES; ++n)
        payload.append(char(n == 0 ? 0x81 : n));
    payload += QByteArray::fromHex("00000000 00000005 00000000 00");
    const auto packet = std::static_pointer_cast<AudioChannelStatusDataPacket>(
        createMeasurementPacket(QByteArray(RawDataPacketHeader::SIZE, '\0') + payload,
                                RawDataPacketHeader{AudioChannelStatusDataPacket::TYPE_ID, 0, quint32(payload.size())}));

    AesChannelStatusInput input = AesChannelStatusInput::fromRecord(packet->values().channels.value(0));
    // Bytes outside the status block are neither read nor written.
    input.setByte(-1, 0xFF);
    input.setByte(AesChannelStatusInput::STATUS_BYTES, 0xFF);
    QByteArray read;
    for (int n = -1; n <= AesChannelStatusInput::STATUS_BYTES; ++n)
        read.append(char(input.byte(n)));
    QCOMPARE(read, '\0' + payload.mid(28, AesChannelStatusInput::STATUS_BYTES) + '\0');
    QCOMPARE(QPoint(input.statusValid, input.crccError), QPoint(1, 5));
    const AesChannelStatusTexts texts = decodeChannelStatus(input);
    QCOMPARE((QStringList{texts.crcc, texts.localSampleAddress, texts.timeOfDay}),
             (QStringList{"CRCC Bad", "0E0F1011", "12:13:14:15"}));
}

QTEST_GUILESS_MAIN(tst_AesChannelStatusTexts)
#include "tst_aeschannelstatustexts.moc"
