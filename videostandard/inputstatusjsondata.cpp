#include "inputstatusjsondata.h"

#include <QJsonArray>
#include <QJsonValue>

const std::array<QString, InputStatusJsonData::PROPERTY_COUNT> InputStatusJsonData::propertyNames{{
    QStringLiteral("LaneStatusArray"),
}};

QString InputStatusJsonData::name() const
{
    return QStringLiteral("InputStatusData");
}

void InputStatusJsonData::write(QJsonObject& object) const
{
    QJsonArray array;
    for (const LaneStatusJsonData& lane : lanes) {
        QJsonObject laneObject;
        lane.write(laneObject);
        array.append(laneObject);
    }
    object.insert(propertyNames[LaneStatusArray], array);
}

void InputStatusJsonData::read(const QJsonObject& object)
{
    const QJsonArray array = object.value(propertyNames[LaneStatusArray]).toArray();
    lanes.clear();
    lanes.reserve(array.size());
    for (const QJsonValue& element : array) {
        LaneStatusJsonData lane;
        lane.read(element.toObject());
        lanes.append(lane);
    }
}
