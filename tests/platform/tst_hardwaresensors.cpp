#include "childrun.h"
#include "fakeroot.h"
#include "hardwaresensors.h"
#include "logcapture.h"
#include "sensortable.h"

#include <QtTest>

#include <sys/mount.h>

class TestHardwareSensors : public QObject
{
    Q_OBJECT

private slots:
    void boardSelection();
    void outOfRangeCount_data();
    void outOfRangeCount();
    void realLibrary();
};

void TestHardwareSensors::boardSelection()
{
    LogCapture capture;
    SensorTable table;
    table.addReading(QStringLiteral("adt7473fan1_inputfan1"), 1500.0);
    table.addReading(QStringLiteral("lm75temp1_inputtemp1"), 20.0); // no board names it
    // Boards 64 to 127 share a table. Rows no chip reported are listed too,
    // but only a chip's reading has handles to re-read.
    const QList<int> seen{table.applyBoardTable(128),
                          capture.count(spdlog::level::err, QStringLiteral("Unknown board id: 128")),
                          table.readings().size(), table.applyBoardTable(64), table.readings().size(),
                          table.records().size()};
    QCOMPARE(seen, (QList<int>{0, 1, 0, 1, 29, 30}));
}

void TestHardwareSensors::outOfRangeCount_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QList<double>>("raw");
    QTest::addColumn<QList<int>>("counts");

    const QString fpga33 = QStringLiteral("ultrascale-kintexin9_inputVUSER3");
    const QString cpu = QStringLiteral("imx_thermal_zonetemp1_inputtemp1");
    QTest::newRow("three out then one in") << cpu << QList<double>{81.0, 0.5, 90.0, 70.0} << QList<int>{1, 2, 3, 0};
    QTest::newRow("limits are inclusive") << cpu << QList<double>{1.0, 80.0} << QList<int>{0, 0};
    QTest::newRow("alarm range does not count") << cpu << QList<double>{84.0, 82.0} << QList<int>{1, 2};
    QTest::newRow("scale 2 brings 1.65 into range") << fpga33 << QList<double>{1.65} << QList<int>{0};
}

void TestHardwareSensors::outOfRangeCount()
{
    QFETCH(QString, key);
    QFETCH(QList<double>, raw);
    QFETCH(QList<int>, counts);

    SensorTable table;
    QVERIFY(table.applyBoardTable(100));
    for (int index = 0; index < raw.size(); ++index) {
        QVERIFY(table.updateReading(key, raw.at(index)));
        QCOMPARE(table.records().value(key).outOfRangeCount, counts.at(index));
    }
    QVERIFY(!table.updateReading(QStringLiteral("nosuchchipin0_input"), 1.0));
}

// libsensors reads /sys/class/hwmon and /etc/sensors.d, which this process
// cannot redirect; a child in a private mount namespace gets a fake of both.
void TestHardwareSensors::realLibrary()
{
    if (ChildRun::mode() == "namespace") {
        if (::mount("none", "/sys/class", "tmpfs", 0, nullptr) != 0
            || ::mount("none", "/etc/sensors.d", "tmpfs", 0, nullptr) != 0)
            QSKIP(qPrintable(QStringLiteral("cannot mount a tmpfs in the namespace: %1").arg(qt_error_string(errno))));
        // hwmon0 is the fan controller, hwmon1 the FPGA.
        const char* const files[][2] = {{"hwmon0/name", "adt7473\n"}, {"hwmon0/temp1_input", "45000\n"},
            {"hwmon0/fan2_input", "0\n"}, {"hwmon0/fan3_input", "garbage\n"}, {"hwmon0/in2_input", "3300\n"},
            {"hwmon1/name", "ultrascale-kintex\n"}, {"hwmon1/in9_input", "1650\n"}, {"hwmon1/in9_label", "VUSER3\n"}};
        for (const auto& file : files)
            QVERIFY(writeFile(QStringLiteral("/sys/class/hwmon/") + file[0], file[1]));
        QVERIFY(writeFile("/etc/sensors.d/board.conf", "chip \"adt7473-*\"\n    label in2 \"+3.3V\"\n"));

        LogCapture capture;
        HardwareSensors sensors(100);
        QCOMPARE(capture.countStartingWith(QStringLiteral("Failed populating sensors:  ")), 1);
        // Value and out-of-range count of each label, after one refresh and
        // after the stopped fan starts; the CPU's chip is not here at all.
        auto seen = [&sensors]() {
            sensors.refresh();
            QMap<QString, SensorRecord> records;
            for (const SensorRecord& record : sensors.readings())
                records.insert(record.label, record);
            QStringList values{QString::number(records.size())};
            for (const char* label : {"Left unit temperature (C)", "Fan Controller 3.3V", "FPGA 3.3V", "Left Fan RPM",
                                      "CPU Temperature (C)"})
                values << QStringLiteral("%1/%2").arg(records.value(label).value)
                                                 .arg(records.value(label).outOfRangeCount);
            return values;
        };
        QCOMPARE(seen(), (QStringList{"29", "45/0", "3.3/0", "3.3/0", "0/1", "0/0"}));
        QVERIFY(writeFile("/sys/class/hwmon/hwmon0/fan2_input", "2400\n"));
        QCOMPARE(seen(), (QStringList{"29", "45/0", "3.3/0", "3.3/0", "2400/0", "0/0"}));
        return;
    }

    const ChildRun::Result child = ChildRun::run("namespace", {QStringLiteral("realLibrary")},
                                                 {"unshare", "-m", "--propagation", "private"});
    const QString output = QString::fromUtf8(child.output + child.errors);
    // No test output at all: unshare itself was refused.
    if (!output.contains(QLatin1String("realLibrary()")))
        QSKIP("this machine allows no private mount namespace (unshare -m) to give libsensors a fake hwmon tree");
    if (output.contains(QLatin1String("SKIP   :")))
        QSKIP(qPrintable(output.mid(output.indexOf(QLatin1String("SKIP   :")))));
    QVERIFY2(child.exitStatus == QProcess::NormalExit && child.exitCode == 0, qPrintable(output));
}

QTEST_GUILESS_MAIN(TestHardwareSensors)
#include "tst_hardwaresensors.moc"
