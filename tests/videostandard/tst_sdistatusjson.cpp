#include "inputstatusjsondata.h"
#include "lanestatusjsondata.h"

#include <QtTest>

using Lane = LaneStatusJsonData;
using TextMember = QString Lane::*;
using FlagMember = bool Lane::*;

namespace {

// The first and last entry of each kind, with the member that holds it.
struct Field
{
    int index;
    const char* key;
    TextMember text;
    FlagMember flag;
};

const Field FIELDS[] = {
    {Lane::TotalHorizontalPixels, "TotalHorizontalPixels", &Lane::totalHorizontalPixels, nullptr},
    {Lane::Smpte352PacketLinkBchannelYPosition, "Smpte352PacketLinkBchannelYPosition",
        &Lane::smpte352PacketLinkBchannelYPosition, nullptr},
    {Lane::IsProgressiveFlag, "IsProgressiveFlag", nullptr, &Lane::isProgressiveFlag},
    {Lane::Smpte352PacketLinkBchannelYpositionDetectedFlag, "Smpte352PacketLinkBchannelYpositionDetectedFlag",
        nullptr, &Lane::smpte352PacketLinkBchannelYpositionDetectedFlag},
};

// Every text differs from every other and every flag is set, so a field
// that is swapped or not replaced shows up.
Lane filledLane(const QString& tag)
{
    QJsonObject object;
    for (const QString& key : Lane::propertyNames)
        object.insert(key, key.endsWith("Flag") ? QJsonValue(true) : QJsonValue(tag + key));
    Lane lane;
    lane.read(object);
    return lane;
}

} // namespace

class TestSdiStatusJson : public QObject
{
    Q_OBJECT

private slots:
    void laneFieldKeys_data();
    void laneFieldKeys();
    void inputLanes();
};

void TestSdiStatusJson::laneFieldKeys_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < int(sizeof FIELDS / sizeof FIELDS[0]); ++i)
        QTest::newRow(FIELDS[i].key) << i;
}

// One field set alone must land under its own key with its own JSON type,
// and come back into the same member; keys differ in case only from others.
void TestSdiStatusJson::laneFieldKeys()
{
    QFETCH(int, index);
    const Field& field = FIELDS[index];
    const QString key = QString::fromLatin1(field.key);
    QCOMPARE(Lane::propertyNames[field.index], key);

    Lane lane;
    if (field.text)
        lane.*field.text = QStringLiteral("572");
    else
        lane.*field.flag = true;
    const QJsonValue marked = field.text ? QJsonValue(QStringLiteral("572")) : QJsonValue(true);

    QJsonObject object;
    lane.write(object);
    QJsonObject expected;
    Lane().write(expected);
    expected.insert(key, marked);
    QCOMPARE(object, expected);

    // Every key not given reads as empty, whatever the lane held before, and
    // so does a value of another JSON type.
    QVERIFY(lane != Lane());
    Lane readBack = filledLane("x");
    readBack.read(QJsonObject{{key, marked}, {key.toLower(), marked}});
    QCOMPARE(readBack, lane);
    readBack.read(QJsonObject{{key, field.text ? QJsonValue(2200) : QJsonValue("true")}});
    QCOMPARE(readBack, Lane());
}

// Lanes read replace the stale ones, and are written back in order beside
// what the object already held.
void TestSdiStatusJson::inputLanes()
{
    InputStatusJsonData input;
    input.lanes = {filledLane("stale"), filledLane("stale"), filledLane("stale")};
    // Non-objects keep their place as empty lanes.
    input.read(QJsonDocument::fromJson(R"({"LaneStatusArray": [{"TotalHorizontalPixels": "1"}, 5, null, "x", [],
                                                               {"TotalHorizontalPixels": "6"}]})").object());
    QStringList read;
    for (const Lane& lane : input.lanes)
        read << lane.totalHorizontalPixels;
    QCOMPARE(read, (QStringList{"1", "", "", "", "", "6"}));

    input.lanes.append(filledLane("c"));
    QJsonObject object{{"Other", true}};
    input.write(object);
    QCOMPARE(object.keys(), (QStringList{"LaneStatusArray", "Other"}));
    InputStatusJsonData readBack;
    readBack.read(object);
    QCOMPARE(readBack, input);
}

QTEST_GUILESS_MAIN(TestSdiStatusJson)
#include "tst_sdistatusjson.moc"
