#pragma once

// The instrument's monitoring chips read through libsensors and presented as
// the board's named readings (SensorTable). libsensors is process-wide: keep
// one HardwareSensors at a time. It does not decide what an out-of-range
// reading means; it only counts them.

#include "sensortable.h"

class HardwareSensors
{
public:
    // Throws std::runtime_error("Could not open sensors configuration file")
    // when libsensors cannot be initialised.
    explicit HardwareSensors(int boardId);
    ~HardwareSensors();
    HardwareSensors(const HardwareSensors&) = delete;
    HardwareSensors& operator=(const HardwareSensors&) = delete;

    void refresh();
    QList<SensorRecord> readings() const;

private:
    void populate();

    SensorTable m_table;
    int m_boardId;
    bool m_populated = false;
};
