#pragma once

#include "rawdatapacket.h"

#include <memory>

// Builds the packet class that decodes a frame of header.packetType from the
// frame (which starts at its first header byte): JSON packets here, the
// measurement classes through createMeasurementPacket. Ids outside the table
// give an empty pointer, which callers skip.
std::shared_ptr<RawDataPacket> createPacket(const QByteArray& frame, const RawDataPacketHeader& header);
