#include "sensortable.h"

#include "vqlog.h"

namespace {

constexpr double MAX = SensorTable::MAX;

// Main boards 64 to 127.
const SensorTableRow LARGE_BOARD_ROWS[] = {
    {"FPGA Temperature (C)", "ultrascale-kintextemp1_inputtemp1", 1, 1.0, 80.0, 0.0, 100.0, 1.0},
    {"CPU Temperature (C)", "imx_thermal_zonetemp1_inputtemp1", 1, 1.0, 80.0, 0.0, 85.0, 1.0},
    {"5.5V", "isppacin0_input5V5", 1, 5.055, 5.705, 5.048, 5.714, 1.0},
    {"DDR4_VDD 1.2V", "isppacin5_inputDDR4_VDD", 1, 1.146, 1.254, 1.144, 1.256, 1.0},
    {"Fan Controller 3.3V", "adt7473in2_input+3.3V", 0, 3.06, 3.528, 3.0, 3.6, 1.0},
    {"Left Fan RPM", "adt7473fan2_inputfan2", 1, 1.0, MAX, 0.0, MAX, 1.0},
    {"Centre Fan RPM", "adt7473fan3_inputfan3", 1, 1.0, MAX, 0.0, MAX, 1.0},
    {"Right Fan RPM", "adt7473fan1_inputfan1", 1, 1.0, MAX, 0.0, MAX, 1.0},
    {"Left unit temperature (C)", "adt7473temp1_inputtemp1", 0, 1.0, 70.0, 0.0, 75.0, 1.0},
    {"Center unit temperature (C)", "adt7473temp2_inputBoard Temp", 0, 1.0, 70.0, 0.0, 75.0, 1.0},
    {"Right unit temperature (C)", "adt7473temp3_inputtemp3", 0, 1.0, 70.0, 0.0, 75.0, 1.0},
    {"SYS_3V3 3.3V", "isppacin1_inputSYS_3V3", 0, 3.151, 3.448, 3.146, 3.453, 1.0},
    {"3.3V", "isppacin2_input3V3", 0, 3.151, 3.382, 3.146, 3.387, 1.0},
    {"2.5V", "isppacin3_input2V5", 0, 2.387, 2.612, 2.383, 2.616, 1.0},
    {"1.8V", "isppacin4_input1V8", 0, 1.749, 1.852, 1.746, 1.854, 1.0},
    {"0.85V", "isppacin6_input0V85", 0, 0.829, 0.872, 0.828, 0.873, 1.0},
    {"VMGTVCCAUX 1.8V", "isppacin7_input1V8MGT", 0, 1.755, 1.845, 1.752, 1.848, 1.0},
    {"VMGTAVTT 1.2V", "isppacin8_input1V2MGT", 0, 1.169, 1.233, 1.167, 1.235, 1.0},
    {"VMGTAVCC 0.9V", "isppacin9_input0V9MGT", 0, 0.871, 0.929, 0.87, 0.93, 1.0},
    {"VDDSOC(IMX6) 1.375", "isppacin10_inputVDDSOC", 0, 1.281, 1.493, 1.279, 1.495, 1.0},
    {"FPGA VCCINT 0.85V", "ultrascale-kintexin0_inputVCCINT", 0, 0.814, 0.888, 0.813, 0.889, 1.0},
    {"FPGA VCCAUX 1.8V", "ultrascale-kintexin1_inputVCCAUX", 0, 1.722, 1.879, 1.72, 1.882, 1.0},
    {"FPGA VCCBRAM 0.85V", "ultrascale-kintexin5_inputVCCBRAM", 0, 0.814, 0.888, 0.813, 0.889, 1.0},
    {"FPGA DDR4_VDD 1.2V", "ultrascale-kintexin6_inputVUSER0", 0, 0.937, 1.926, 0.936, 1.929, 1.0},
    {"FPGA VMGTAVTT 1.2V", "ultrascale-kintexin8_inputVUSER2", 0, 1.148, 1.253, 1.147, 1.255, 1.0},
    {"FPGA VMGTAVCC 0.9V", "ultrascale-kintexin7_inputVUSER1", 0, 0.861, 0.939, 0.86, 0.941, 1.0},
    {"FPGA 3.3V", "ultrascale-kintexin9_inputVUSER3", 0, 3.093, 3.445, 3.088, 3.45, 2.0},
    {"0.85V Regulator", "pmbusin2_inputvout1", 0, 0.814, 0.888, 0.813, 0.889, 1.0},
    {"0.85v Regulator Current", "pmbuscurr1_inputiout1", 0, 0.0, 38.0, 0.0, 40.0, 1.0},
};

// Main boards 0 to 63.
const SensorTableRow SMALL_BOARD_ROWS[] = {
    {"FPGA Temperature (C)", "ultrascale-kintextemp1_inputtemp1", 1, 1.0, 80.0, 0.0, 85.0, 1.0},
    {"CPU Temperature (C)", "imx_thermal_zonetemp1_inputtemp1", 1, 1.0, 80.0, 0.0, 85.0, 1.0},
    {"5.5V", "isppacin0_input5V5", 1, 5.08, 5.677, 5.055, 5.705, 1.0},
    {"DDR3_VDD 1.5V", "isppacin5_inputDDR3_VDD", 1, 1.296, 1.564, 1.289, 1.572, 1.0},
    {"Fan Controller 3.3V", "adt7473in2_input+3.3V", 0, 3.06, 3.528, 3.0, 3.6, 1.0},
    {"Left Fan RPM", "adt7473fan2_inputfan2", 1, 1.0, MAX, 0.0, MAX, 1.0},
    {"Centre Fan RPM", "adt7473fan3_inputfan3", 1, 1.0, MAX, 0.0, MAX, 1.0},
    {"Right Fan RPM", "adt7473fan1_inputfan1", 1, 1.0, MAX, 0.0, MAX, 1.0},
    {"Left unit temperature (C)", "adt7473temp1_inputtemp1", 0, 1.0, 70.0, 0.0, 75.0, 1.0},
    {"Center unit temperature (C)", "adt7473temp2_inputBoard Temp", 0, 1.0, 70.0, 0.0, 75.0, 1.0},
    {"Right unit temperature (C)", "adt7473temp3_inputtemp3", 0, 1.0, 70.0, 0.0, 75.0, 1.0},
    {"SYS_3V3 3.3V", "isppacin1_inputSYS_3V3", 0, 3.17, 3.422, 3.155, 3.44, 1.0},
    {"3.3V", "isppacin2_input3V3", 0, 3.17, 3.422, 3.155, 3.44, 1.0},
    {"2.5V", "isppacin3_input2V5", 0, 2.403, 2.596, 2.391, 2.609, 1.0},
    {"1.8V", "isppacin4_input1V8", 0, 1.731, 1.877, 1.723, 1.887, 1.0},
    {"0.95V", "isppacin6_input0V95", 0, 0.91, 0.984, 0.906, 0.989, 1.0},
    {"VMGTVCCAUX 1.8V", "isppacin7_input1V8MGT", 0, 1.731, 1.877, 1.723, 1.887, 1.0},
    {"VMGTAVTT 1.2V", "isppacin8_input1V2MGT", 0, 1.125, 1.249, 1.12, 1.256, 1.0},
    {"VMGTAVCC 1.0V", "isppacin9_input1V0MGT", 0, 0.962, 1.043, 0.957, 1.049, 1.0},
    {"VDDSOC(IMX6) 1.375", "isppacin10_inputVDDSOC", 0, 1.288, 1.485, 1.275, 1.5, 1.0},
    {"FPGA VCCINT 0.95V", "ultrascale-kintexin0_inputVCCINT", 0, 0.931, 0.969, 0.922, 0.979, 1.0},
    {"FPGA VCCAUX 1.8V", "ultrascale-kintexin1_inputVCCAUX", 0, 1.763, 1.835, 1.746, 1.854, 1.0},
    {"FPGA VCCBRAM 0.95V", "ultrascale-kintexin5_inputVCCBRAM", 0, 0.931, 0.969, 0.922, 0.979, 1.0},
    {"FPGA 2.5V", "ultrascale-kintexin6_inputVUSER0", 0, 2.399, 2.599, 2.375, 2.625, 2.0},
    {"FPGA 3.3V", "ultrascale-kintexin7_inputVUSER1", 0, 3.166, 3.365, 3.135, 3.399, 2.0},
    {"FPGA DDR3 Vdd (M1)", "ultrascale-kintexin9_inputVUSER3", 0, 1.296, 1.559, 1.283, 1.575, 1.0},
};

template <size_t N>
QList<SensorTableRow> toList(const SensorTableRow (&rows)[N])
{
    QList<SensorTableRow> list;
    for (const SensorTableRow& row : rows)
        list.append(row);
    return list;
}

} // namespace

QList<SensorTableRow> SensorTable::boardRows(int boardId)
{
    if (boardId >= 64 && boardId <= 127)
        return toList(LARGE_BOARD_ROWS);
    if (boardId >= 0 && boardId <= 63)
        return toList(SMALL_BOARD_ROWS);
    return {};
}

void SensorTable::addReading(const QString& key, double raw, const sensors_chip_name* chip,
                             const sensors_subfeature* subfeature)
{
    SensorRecord& record = m_records[key];
    record.value = raw * record.scale;
    record.chip = chip;
    record.subfeature = subfeature;
}

bool SensorTable::applyBoardTable(int boardId)
{
    const QList<SensorTableRow> rows = boardRows(boardId);
    if (rows.isEmpty()) {
        VqLog::error("Unknown board id: {}", boardId);
        return false;
    }
    for (const SensorTableRow& row : rows) {
        SensorRecord& record = m_records[QString::fromUtf8(row.key)];
        // A value read before the scale was known is rescaled with it.
        record.value = record.value / record.scale * row.scale;
        record.label = QString::fromUtf8(row.label);
        record.flag = row.flag;
        record.okLow = row.okLow;
        record.okHigh = row.okHigh;
        record.alarmLow = row.alarmLow;
        record.alarmHigh = row.alarmHigh;
        record.scale = row.scale;
    }
    return true;
}

bool SensorTable::updateReading(const QString& key, double raw)
{
    const auto found = m_records.find(key);
    if (found == m_records.end())
        return false;
    updateRecord(*found, raw);
    return true;
}

void SensorTable::updateRecord(SensorRecord& record, double raw)
{
    record.value = raw * record.scale;
    // The alarm range is for the users of the readings; only the acceptable
    // range counts here. Limits are inclusive.
    if (record.value > record.okHigh || record.value < record.okLow)
        ++record.outOfRangeCount;
    else
        record.outOfRangeCount = 0;
}

QList<SensorRecord> SensorTable::readings() const
{
    QList<SensorRecord> named;
    for (const SensorRecord& record : m_records) {
        if (!record.label.isEmpty())
            named.append(record);
    }
    return named;
}
