#pragma once

#include "lanestatusjsondata.h"
#include "simplejsonobject.h"

#include <QString>
#include <QVector>

#include <array>

// The status of one SDI input as a JSON record: its lanes, in lane order,
// under one array key. Lane positions are kept when reading: an array element
// that is not an object becomes an empty lane rather than being skipped, so
// lane N of the record is always element N of the array.
class InputStatusJsonData : public SimpleJsonObject
{
public:
    enum Property { LaneStatusArray, PROPERTY_COUNT };
    static const std::array<QString, PROPERTY_COUNT> propertyNames;

    QString name() const override;
    void write(QJsonObject& object) const override;
    // Replaces the lanes; no array under the key gives no lanes.
    void read(const QJsonObject& object) override;

    bool operator==(const InputStatusJsonData& other) const { return lanes == other.lanes; }
    bool operator!=(const InputStatusJsonData& other) const { return !(*this == other); }

    QVector<LaneStatusJsonData> lanes;
};
