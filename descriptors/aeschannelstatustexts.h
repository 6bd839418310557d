#pragma once

#include "aeschannelstatusinput.h"

#include <QString>

// The display texts of one channel status block, for status screens and
// reports. Texts a format does not have stay empty.
struct AesChannelStatusTexts
{
    QString crcc;
    QString format;
    QString audioMode;
    QString emphasis;
    QString lock;
    QString samplingFrequency;
    QString channelMode;
    QString wordLength;
    QString alignmentLevel;
    QString channelOrigin;
    QString channelDestination;
    QString localSampleAddress;
    QString timeOfDay;
    QString reliability;
};

// Byte 0 bit 0 selects the format: set, the professional (AES3) layout; clear,
// the consumer (IEC 60958-3) layout. Reserved or unassigned codes give "?".
AesChannelStatusTexts decodeChannelStatus(const AesChannelStatusInput& input);
AesChannelStatusTexts decodeProfessionalChannelStatus(const AesChannelStatusInput& input);
AesChannelStatusTexts decodeConsumerChannelStatus(const AesChannelStatusInput& input);
