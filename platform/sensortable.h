#pragma once

// The board-specific list of named sensor readings: which keys a board has,
// their display names, ranges and scale, and the count of consecutive
// out-of-range readings. Knows nothing of libsensors beyond keeping its handles
// for re-reading, so readings can be fed to it directly.

#include <QList>
#include <QMap>
#include <QString>

#include <limits>

struct sensors_chip_name;
struct sensors_subfeature;

struct SensorRecord
{
    QString label; // empty when the board's table does not name the reading
    double value = 0.0; // raw reading times scale
    double okLow = 0.0;
    double okHigh = 0.0;
    double alarmLow = 0.0;
    double alarmHigh = 0.0;
    quint8 flag = 0;
    double scale = 1.0;
    int outOfRangeCount = 0;
    const sensors_chip_name* chip = nullptr;
    const sensors_subfeature* subfeature = nullptr;
};

struct SensorTableRow
{
    const char* label;
    const char* key;
    quint8 flag;
    double okLow;
    double okHigh;
    double alarmLow;
    double alarmHigh;
    double scale;
};

class SensorTable
{
public:
    static constexpr double MAX = std::numeric_limits<double>::max();

    // The rows for a board identity; empty for an unknown one.
    static QList<SensorTableRow> boardRows(int boardId);

    // A reading found while populating, before the board table is applied.
    void addReading(const QString& key, double raw, const sensors_chip_name* chip = nullptr,
                    const sensors_subfeature* subfeature = nullptr);
    // Names and ranges the readings of the board; false (and an error logged)
    // for an unknown board identity.
    bool applyBoardTable(int boardId);
    // A fresh raw reading of an existing record; false for an unknown key.
    bool updateReading(const QString& key, double raw);
    static void updateRecord(SensorRecord& record, double raw);

    QMap<QString, SensorRecord>& records() { return m_records; }
    const QMap<QString, SensorRecord>& records() const { return m_records; }
    // Every named record, in key order.
    QList<SensorRecord> readings() const;

private:
    QMap<QString, SensorRecord> m_records;
};
