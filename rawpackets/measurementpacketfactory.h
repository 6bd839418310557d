#pragma once

#include "rawdatapacket.h"

#include <memory>

// Builds the measurement packet class of header.packetType (0x1011 to 0x1029)
// from a received frame; any other id gives an empty pointer. frame starts at
// the first header byte. JSON packets (0x1010) are not built here.
std::shared_ptr<RawDataPacket> createMeasurementPacket(const QByteArray& frame, const RawDataPacketHeader& header);
