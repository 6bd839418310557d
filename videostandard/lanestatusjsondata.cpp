#include "lanestatusjsondata.h"

#include <QJsonValue>

namespace {

using Lane = LaneStatusJsonData;

struct TextField
{
    Lane::Property property;
    QString Lane::*member;
};

struct FlagField
{
    Lane::Property property;
    bool Lane::*member;
};

// One place ties each key to its member, so write, read and comparison
// cannot disagree about the mapping.
const TextField TEXT_FIELDS[] = {
    {Lane::TotalHorizontalPixels, &Lane::totalHorizontalPixels},
    {Lane::TotalVerticalPixelsProgressiveOrField1, &Lane::totalVerticalPixelsProgressiveOrField1},
    {Lane::TotalVerticalPixelsField2, &Lane::totalVerticalPixelsField2},
    {Lane::ActiveHorizontalPixels, &Lane::activeHorizontalPixels},
    {Lane::ActiveVerticalPixelsProgressiveOrField1, &Lane::activeVerticalPixelsProgressiveOrField1},
    {Lane::ActiveVerticalPixelsField2, &Lane::activeVerticalPixelsField2},
    {Lane::Smpte352PacketLinkAchannelCPosition, &Lane::smpte352PacketLinkAchannelCPosition},
    {Lane::Smpte352PacketLinkBchannelCPosition, &Lane::smpte352PacketLinkBchannelCPosition},
    {Lane::Smpte352PacketLinkAchannelYPosition, &Lane::smpte352PacketLinkAchannelYPosition},
    {Lane::Smpte352PacketLinkBchannelYPosition, &Lane::smpte352PacketLinkBchannelYPosition},
};

const FlagField FLAG_FIELDS[] = {
    {Lane::IsProgressiveFlag, &Lane::isProgressiveFlag},
    {Lane::IsLevelBFlag, &Lane::isLevelBFlag},
    {Lane::IsStableFlag, &Lane::isStableFlag},
    {Lane::Smpte352PacketLinkAchannelCpositionDetectedFlag, &Lane::smpte352PacketLinkAchannelCpositionDetectedFlag},
    {Lane::Smpte352PacketLinkBchannelCpositionDetectedFlag, &Lane::smpte352PacketLinkBchannelCpositionDetectedFlag},
    {Lane::Smpte352PacketLinkAchannelYpositionDetectedFlag, &Lane::smpte352PacketLinkAchannelYpositionDetectedFlag},
    {Lane::Smpte352PacketLinkBchannelYpositionDetectedFlag, &Lane::smpte352PacketLinkBchannelYpositionDetectedFlag},
};

static_assert(sizeof(TEXT_FIELDS) / sizeof(TEXT_FIELDS[0]) + sizeof(FLAG_FIELDS) / sizeof(FLAG_FIELDS[0])
                  == Lane::PROPERTY_COUNT,
              "every property is a text or a flag field");

} // namespace

const std::array<QString, LaneStatusJsonData::PROPERTY_COUNT> LaneStatusJsonData::propertyNames{{
    QStringLiteral("TotalHorizontalPixels"),
    QStringLiteral("TotalVerticalPixelsProgressiveOrField1"),
    QStringLiteral("TotalVerticalPixelsField2"),
    QStringLiteral("ActiveHorizontalPixels"),
    QStringLiteral("ActiveVerticalPixelsProgressiveOrField1"),
    QStringLiteral("ActiveVerticalPixelsField2"),
    QStringLiteral("IsProgressiveFlag"),
    QStringLiteral("IsLevelBFlag"),
    QStringLiteral("IsStableFlag"),
    QStringLiteral("Smpte352PacketLinkAchannelCpositionDetectedFlag"),
    QStringLiteral("Smpte352PacketLinkBchannelCpositionDetectedFlag"),
    QStringLiteral("Smpte352PacketLinkAchannelYpositionDetectedFlag"),
    QStringLiteral("Smpte352PacketLinkBchannelYpositionDetectedFlag"),
    QStringLiteral("Smpte352PacketLinkAchannelCPosition"),
    QStringLiteral("Smpte352PacketLinkBchannelCPosition"),
    QStringLiteral("Smpte352PacketLinkAchannelYPosition"),
    QStringLiteral("Smpte352PacketLinkBchannelYPosition"),
}};

QString LaneStatusJsonData::name() const
{
    return QStringLiteral("LaneStatusData");
}

void LaneStatusJsonData::write(QJsonObject& object) const
{
    for (const TextField& field : TEXT_FIELDS)
        object.insert(propertyNames[field.property], this->*field.member);
    for (const FlagField& field : FLAG_FIELDS)
        object.insert(propertyNames[field.property], this->*field.member);
}

void LaneStatusJsonData::read(const QJsonObject& object)
{
    for (const TextField& field : TEXT_FIELDS)
        this->*field.member = object.value(propertyNames[field.property]).toString();
    for (const FlagField& field : FLAG_FIELDS)
        this->*field.member = object.value(propertyNames[field.property]).toBool(false);
}

void LaneStatusJsonData::setMeasuredGeometry(const LaneGeometry& geometry)
{
    const QString suffix = geometry.isLevelB ? QStringLiteral(" (B mux)") : QString();
    const auto field2 = [&geometry](quint32 count) {
        return geometry.isProgressive ? QString() : QString::number(count);
    };

    totalHorizontalPixels = QString::number(geometry.totalHorizontalPixels) + suffix;
    totalVerticalPixelsProgressiveOrField1 = QString::number(geometry.totalVerticalPixelsProgressiveOrField1);
    totalVerticalPixelsField2 = field2(geometry.totalVerticalPixelsField2);
    activeHorizontalPixels = QString::number(geometry.activeHorizontalPixels) + suffix;
    activeVerticalPixelsProgressiveOrField1 = QString::number(geometry.activeVerticalPixelsProgressiveOrField1);
    activeVerticalPixelsField2 = field2(geometry.activeVerticalPixelsField2);
    isProgressiveFlag = geometry.isProgressive;
    isLevelBFlag = geometry.isLevelB;
}

bool LaneStatusJsonData::operator==(const LaneStatusJsonData& other) const
{
    for (const TextField& field : TEXT_FIELDS) {
        if (this->*field.member != other.*field.member)
            return false;
    }
    for (const FlagField& field : FLAG_FIELDS) {
        if (this->*field.member != other.*field.member)
            return false;
    }
    return true;
}
