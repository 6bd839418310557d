#include "hardwaresensors.h"

#include "vqlog.h"

#include <sensors/sensors.h>

#include <cstdlib>
#include <stdexcept>

HardwareSensors::HardwareSensors(int boardId)
    : m_boardId(boardId)
{
    if (sensors_init(nullptr) != 0)
        throw std::runtime_error("Could not open sensors configuration file");
    populate();
}

HardwareSensors::~HardwareSensors()
{
    // The handles in the records point into libsensors' memory.
    m_table.records().clear();
    sensors_cleanup();
}

void HardwareSensors::populate()
{
    int chipIndex = 0;
    while (const sensors_chip_name* chip = sensors_get_detected_chips(nullptr, &chipIndex)) {
        int featureIndex = 0;
        while (const sensors_feature* feature = sensors_get_features(chip, &featureIndex)) {
            char* rawLabel = sensors_get_label(chip, feature);
            const QString label = QString::fromUtf8(rawLabel ? rawLabel : "");
            std::free(rawLabel);
            int subfeatureIndex = 0;
            while (const sensors_subfeature* subfeature =
                       sensors_get_all_subfeatures(chip, feature, &subfeatureIndex)) {
                if ((subfeature->flags & SENSORS_MODE_R) == 0)
                    continue;
                double raw = 0.0;
                const int error = sensors_get_value(chip, subfeature->number, &raw);
                if (error != 0) {
                    VqLog::error("Failed populating sensors:  {}", error);
                    continue;
                }
                const QString key = QString::fromUtf8(chip->prefix) + QString::fromUtf8(subfeature->name) + label;
                m_table.addReading(key, raw, chip, subfeature);
            }
        }
    }
    m_table.applyBoardTable(m_boardId);
    m_populated = true;
}

void HardwareSensors::refresh()
{
    if (!m_populated)
        populate();
    for (SensorRecord& record : m_table.records()) {
        if (!record.chip || !record.subfeature)
            continue;
        double raw = 0.0;
        if (sensors_get_value(record.chip, record.subfeature->number, &raw) == 0)
            SensorTable::updateRecord(record, raw);
    }
}

QList<SensorRecord> HardwareSensors::readings() const
{
    return m_table.readings();
}
