#pragma once

#include "simplejsonobject.h"

#include <QString>
#include <QtGlobal>

#include <array>

// Picture geometry of one lane as the receiver measured it. The field-2
// counts mean something only for interlaced pictures.
struct LaneGeometry
{
    quint32 totalHorizontalPixels = 0;
    quint32 totalVerticalPixelsProgressiveOrField1 = 0;
    quint32 totalVerticalPixelsField2 = 0;
    quint32 activeHorizontalPixels = 0;
    quint32 activeVerticalPixelsProgressiveOrField1 = 0;
    quint32 activeVerticalPixelsField2 = 0;
    bool isProgressive = false;
    bool isLevelB = false;
};

// The status of one SDI lane as a JSON record: measured geometry (as display
// text), progressive, level B and stable flags, and where ST 352 payload
// identifier packets were found. It holds what it is given; it neither
// measures nor checks the numbers against a video standard.
class LaneStatusJsonData : public SimpleJsonObject
{
public:
    // Index of each field in propertyNames.
    enum Property {
        TotalHorizontalPixels,
        TotalVerticalPixelsProgressiveOrField1,
        TotalVerticalPixelsField2,
        ActiveHorizontalPixels,
        ActiveVerticalPixelsProgressiveOrField1,
        ActiveVerticalPixelsField2,
        IsProgressiveFlag,
        IsLevelBFlag,
        IsStableFlag,
        Smpte352PacketLinkAchannelCpositionDetectedFlag,
        Smpte352PacketLinkBchannelCpositionDetectedFlag,
        Smpte352PacketLinkAchannelYpositionDetectedFlag,
        Smpte352PacketLinkBchannelYpositionDetectedFlag,
        Smpte352PacketLinkAchannelCPosition,
        Smpte352PacketLinkBchannelCPosition,
        Smpte352PacketLinkAchannelYPosition,
        Smpte352PacketLinkBchannelYPosition,
        PROPERTY_COUNT
    };
    static const std::array<QString, PROPERTY_COUNT> propertyNames;

    QString name() const override;
    void write(QJsonObject& object) const override;
    void read(const QJsonObject& object) override;

    // Sets the six pixel counts as decimal text and the progressive and level B
    // flags. Level B pictures get " (B mux)" after both horizontal counts;
    // progressive pictures get empty field-2 counts. The stable flag and the
    // ST 352 fields are left as they are.
    void setMeasuredGeometry(const LaneGeometry& geometry);

    bool operator==(const LaneStatusJsonData& other) const;
    bool operator!=(const LaneStatusJsonData& other) const { return !(*this == other); }

    QString totalHorizontalPixels;
    QString totalVerticalPixelsProgressiveOrField1;
    QString totalVerticalPixelsField2;
    QString activeHorizontalPixels;
    QString activeVerticalPixelsProgressiveOrField1;
    QString activeVerticalPixelsField2;
    bool isProgressiveFlag = false;
    bool isLevelBFlag = false;
    bool isStableFlag = false;
    bool smpte352PacketLinkAchannelCpositionDetectedFlag = false;
    bool smpte352PacketLinkBchannelCpositionDetectedFlag = false;
    bool smpte352PacketLinkAchannelYpositionDetectedFlag = false;
    bool smpte352PacketLinkBchannelYpositionDetectedFlag = false;
    QString smpte352PacketLinkAchannelCPosition;
    QString smpte352PacketLinkBchannelCPosition;
    QString smpte352PacketLinkAchannelYPosition;
    QString smpte352PacketLinkBchannelYPosition;
};
