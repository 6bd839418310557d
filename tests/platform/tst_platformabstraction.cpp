#include "childrun.h"
#include "fakeroot.h"
#include "gpio.h"
#include "mtdpartitions.h"
#include "outputcapture.h"
#include "serialnumber.h"
#include "versioninfo.h"
#include "vqplatformabstraction.h"
#include "watchdog.h"

#include <QtTest>

#include <stdexcept>
#include <unistd.h>

namespace {

const QByteArray MTD_HEADING = "dev:    size   erasesize  name\n";

} // namespace

class TestPlatformAbstraction : public QObject
{
    Q_OBJECT

private slots:
    void hardwareId_data();
    void hardwareId();
    void identityCachedAfterFirstGoodRead();
    void pwmOutputs_data();
    void pwmOutputs();
    void fpgaVersion_data();
    void fpgaVersion();
    void watchdogRequests();
    void watchdogMisuseEndsProcess_data();
    void watchdogMisuseEndsProcess();
    void partitionMap_data();
    void partitionMap();
    void partitionMapErrors();
    void serialWriteThenRead();
    void serialReadFailures_data();
    void serialReadFailures();
    void serialWriteFailures();
    void versionHardwareIdentity_data();
    void versionHardwareIdentity();
    void buildIdentityAndSingleInstance();
};

void TestPlatformAbstraction::hardwareId_data()
{
    QTest::addColumn<int>("mainBoard"); // -1: its lines missing
    QTest::addColumn<int>("which");
    QTest::addColumn<int>("expected");
    QTest::addColumn<int>("boardClass");
    QTest::newRow("main board 65 from 1,0,0,0,0,0,1") << 65 << 0 << 65 << 1;
    QTest::newRow("main board 63 is the small class") << 63 << 0 << 63 << 0;
    QTest::newRow("main board unreadable") << -1 << 0 << -1 << 2;
    QTest::newRow("mezzanine 5 bits") << 64 << 1 << 0x16 << 1;
    QTest::newRow("front panel 7 bits") << 64 << 2 << 0x5A << 1;
    QTest::newRow("identity 3 not offered") << 64 << 3 << -1 << 1;
    QTest::newRow("one past the last identity") << 64 << 4 << -1 << 1;
    QTest::newRow("negative identity") << 64 << -1 << -1 << 1;
}

void TestPlatformAbstraction::hardwareId()
{
    QFETCH(int, mainBoard);
    QFETCH(int, which);
    QFETCH(int, expected);
    QFETCH(int, boardClass);
    FakeRoot root;
    if (mainBoard >= 0)
        root.setMainBoard(unsigned(mainBoard));
    root.setGpioLines({508, 507, 506, 505, 504}, 0x16);
    root.setGpioLines({502, 501, 500, 499, 498, 497, 496}, 0x5A);
    root.setGpioLines({113, 116, 115, 114}, 0xB);

    OutputCapture errors(STDERR_FILENO);
    Brevane::VqPlatformAbstraction platform;
    QCOMPARE(platform.hardwareId(which), expected);
    QCOMPARE(platform.isHardwareIdValid(which), expected >= 0);
    QCOMPARE(Brevane::readHardwareIdentity(which), which == 3 ? 0xB : expected);
    QCOMPARE(Brevane::readBoardClass(), boardClass);
    // An identity out of range must not reach for any line.
    QCOMPARE(errors.text().isEmpty(), mainBoard >= 0);
}

void TestPlatformAbstraction::identityCachedAfterFirstGoodRead()
{
    FakeRoot root;
    root.setMainBoard(65);
    Brevane::VqPlatformAbstraction platform;
    QCOMPARE(platform.hardwareId(0), 65);
    root.setMainBoard(3);
    QCOMPARE(platform.hardwareId(0), 65);

    root.setGpioLines({508, 507, 506, 505, 504}, 0x1F);
    QFile::remove(root.path("/sys/class/gpio/gpio504/value"));
    {
        OutputCapture errors(STDERR_FILENO);
        QCOMPARE(platform.hardwareId(1), -1);
        QVERIFY(errors.text().contains("gpio504/value: No such file or directory"));
    }
    root.setGpioLines({508, 507, 506, 505, 504}, 0x11);
    // A single byte without its newline is a whole value.
    root.write(QStringLiteral("/sys/class/gpio/gpio504/value"), "1");
    QCOMPARE(platform.hardwareId(1), 0x11);
}

void TestPlatformAbstraction::pwmOutputs_data()
{
    QTest::addColumn<bool>("enable");
    QTest::addColumn<int>("unexported"); // the chip without an export file, -1: none
    QTest::addColumn<QStringList>("expected"); // export, period, duty cycle, enable of pwmchip0, 1, 2
    const QStringList enabled{"0", "255000", "128000", "1", "0", "255000", "255000", "1", "0", "255000", "0", "1"};
    QTest::newRow("enabled") << true << -1 << enabled;
    QTest::newRow("disabled") << false << -1 << QStringList{"0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0"};
    // A failed export is reported, but every chip is still programmed.
    QStringList unexported = enabled;
    unexported[4].clear();
    QTest::newRow("chip 1 not exported") << true << 1 << unexported;
}

void TestPlatformAbstraction::pwmOutputs()
{
    QFETCH(bool, enable);
    QFETCH(int, unexported);
    QFETCH(QStringList, expected);
    FakeRoot root;
    const char* const files[] = {"export", "pwm0/period", "pwm0/duty_cycle", "pwm0/enable"};
    for (int chip = 0; chip < 3; ++chip) {
        for (const char* file : files) {
            if (chip != unexported || file != files[0])
                root.write(QStringLiteral("/sys/class/pwm/pwmchip%1/%2").arg(chip).arg(file),
                           file == files[0] ? "" : "999999999");
        }
    }

    Brevane::VqPlatformAbstraction platform;
    // Byte 0 drives pwmchip2, byte 1 pwmchip0, byte 2 pwmchip1; byte 3 is ignored.
    QCOMPARE(platform.setPwmOutputs(0xAAFF8000u, enable), unexported >= 0);

    QStringList written;
    for (int chip = 0; chip < 3; ++chip) {
        for (const char* file : files)
            written << root.read(QStringLiteral("/sys/class/pwm/pwmchip%1/%2").arg(chip).arg(file));
    }
    QCOMPARE(written, expected);
}

void TestPlatformAbstraction::fpgaVersion_data()
{
    QTest::addColumn<QByteArray>("driverText"); // null: no driver
    QTest::addColumn<int>("reads");
    QTest::addColumn<QList<quint32>>("expected"); // design id, major, minor, patch, build

    const QList<quint32> untouched{90, 91, 92, 93, 94};
    const QByteArray twice = "fpga_version: 1.2.3+4\nfpga_design_id: 5\nfpga_version: 6.7.8+9\nfpga_design_id: 10\n";
    QTest::newRow("both lines") << QByteArray("fpga_version: 1.2.3+45\nfpga_design_id: 7\n") << 1
                                << QList<quint32>{7, 1, 2, 3, 45};
    QTest::newRow("driver missing") << QByteArray() << 1 << untouched;
    QTest::newRow("empty file") << QByteArray("") << 1 << untouched;
    QTest::newRow("version cut short") << QByteArray("fpga_version: 4.5\nfpga_design_id: 8\n") << 1
                                       << QList<quint32>{8, 4, 5, 93, 94};
    QTest::newRow("lines swapped") << QByteArray("fpga_design_id: 7\nfpga_version: 1.2.3+45\n") << 1
                                   << untouched;
    QTest::newRow("second read goes on from the first") << twice << 2 << QList<quint32>{10, 6, 7, 8, 9};
}

void TestPlatformAbstraction::fpgaVersion()
{
    QFETCH(QByteArray, driverText);
    QFETCH(int, reads);
    QFETCH(QList<quint32>, expected);
    FakeRoot root;
    if (!driverText.isNull())
        root.write("/proc/brev_pcie", driverText);

    Brevane::VqPlatformAbstraction platform;
    quint32 designId = 90, major = 91, minor = 92, patch = 93, build = 94;
    for (int read = 0; read < reads; ++read)
        QVERIFY(platform.readFpgaVersion(&designId, &major, &minor, &patch, &build));
    QCOMPARE((QList<quint32>{designId, major, minor, patch, build}), expected);
}

void TestPlatformAbstraction::watchdogRequests()
{
    FakeRoot root;
    root.write("/dev/watchdog", "");
    Brevane::VqPlatformAbstraction platform;
    QCOMPARE(platform.openWatchdog(30), 0);
    QCOMPARE(platform.kickWatchdog(), 0);
    QCOMPARE(platform.kickWatchdog(), 0);
    QCOMPARE(platform.closeWatchdog(), 1);
    QCOMPARE(root.read("/dev/watchdog"), QByteArray("WDIOC_SETTIMEOUT 30\nWDIOC_KEEPALIVE\nWDIOC_KEEPALIVE\nV"));
}

void TestPlatformAbstraction::watchdogMisuseEndsProcess_data()
{
    QTest::addColumn<int>("call"); // 0 open without a device, 1 kick, 2 close while closed
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("open without a device") << 0
        << QByteArray("Couldn't open the watchdog at /dev/watchdog: \nNo such file or directory\n");
    QTest::newRow("kick while closed") << 1 << QByteArray("Watchdog device not open\n");
    QTest::newRow("close while closed") << 2 << QByteArray("Watchdog device not open\n");
}

void TestPlatformAbstraction::watchdogMisuseEndsProcess()
{
    QFETCH(int, call);
    QFETCH(QByteArray, message);
    if (ChildRun::mode() == "misuse") {
        FakeRoot root;
        Brevane::VqPlatformAbstraction platform;
        if (call == 0)
            platform.openWatchdog(10);
        else if (call == 1)
            platform.kickWatchdog();
        else
            platform.closeWatchdog();
        QFAIL("the process went on");
    }
    // Ending the process inside a test function strands the test library's
    // own allocations; they are no leak of ours.
    const QString asan = "ASAN_OPTIONS=" + QString::fromLocal8Bit(qgetenv("ASAN_OPTIONS")) + ":detect_leaks=0";
    const ChildRun::Result child = ChildRun::run(
        "misuse", {QStringLiteral("watchdogMisuseEndsProcess:%1").arg(QTest::currentDataTag())}, {}, {asan});
    QCOMPARE(child.exitStatus, QProcess::NormalExit);
    QCOMPARE(child.exitCode, 1);
    QCOMPARE(child.errors, message);
}

void TestPlatformAbstraction::partitionMap_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("partitions"); // "name device size erase size"
    QTest::addColumn<QByteArray>("errors");

    auto row = [](const char* name, const QByteArray& text, const QStringList& partitions, const char* errors = "") {
        QTest::newRow(name) << text << partitions << QByteArray(errors);
    };
    const char* const noParts = "Failed to get mtp parts\n";
    row("example", MTD_HEADING + "mtd0: 00040000 00010000 \"u-boot\"\n", {"u-boot mtd0 262144 65536"});
    row("heading only", MTD_HEADING, {}, noParts);
    row("heading never parsed", "mtd9: 00000001 00000001 \"heading\"\nmtd1: 00020000 00001000 \"env\"\n",
        {"env mtd1 131072 4096"});
    row("short line skipped", MTD_HEADING + "mtd0: 00040000 \"u-boot\"\nmtd1: 10 20 \"b\"\n", {"b mtd1 16 32"},
        "Could not find enough tokens (found: 3 wanted: 4)\n");
    row("name with a space skipped", MTD_HEADING + "mtd0: 00040000 00010000 \"spi flash\"\n", {},
        "Could not find enough tokens (found: 5 wanted: 4)\n");
    row("blank line reported", MTD_HEADING + "\n", {}, "Could not find enough tokens (found: 0 wanted: 4)\n");
}

void TestPlatformAbstraction::partitionMap()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, partitions);
    QFETCH(QByteArray, errors);
    OutputCapture capture(STDERR_FILENO);
    const Brevane::MtdPartitionMap map = Brevane::parseMtdPartitions(text.toStdString());
    QStringList found;
    for (const auto& entry : map) {
        const Brevane::MtdPartition& partition = entry.second;
        QCOMPARE(entry.first, partition.name);
        found << QStringLiteral("%1 %2 %3 %4")
                     .arg(QString::fromStdString(partition.name), QString::fromStdString(partition.device))
                     .arg(partition.size)
                     .arg(partition.eraseSize);
    }
    QCOMPARE(found, partitions);
    QCOMPARE(capture.text(), errors);
}

void TestPlatformAbstraction::partitionMapErrors()
{
    QVERIFY_EXCEPTION_THROWN(Brevane::parseMtdPartitions((MTD_HEADING + "mtd0: xyz 00010000 \"a\"\n").toStdString()),
                             std::invalid_argument);
    FakeRoot root;
    root.addIdentityPartition();
    QCOMPARE(Brevane::mtdDeviceName(Brevane::FPGA_MTD_IDENT), std::string("mtd2"));
    QVERIFY_EXCEPTION_THROWN(Brevane::mtdDeviceName("kernel"), std::out_of_range);
}

void TestPlatformAbstraction::serialWriteThenRead()
{
    FakeRoot root;
    root.addIdentityPartition(QByteArray(0x10000, '\x5A'));
    root.write("/var/volatile/.keep", "");
    root.write("/sbin/fw_setenv", "#!/bin/sh\necho \"$@\" > \"$(dirname \"$0\")/fw_setenv.called\"\n");
    QFile(root.path("/sbin/fw_setenv")).setPermissions(QFile::ReadOwner | QFile::ExeOwner);

    {
        OutputCapture errors(STDERR_FILENO);
        QCOMPARE(Brevane::writeSerialNumber(1234), 0);
    }
    const QByteArray identity = root.read("/dev/mtd2");
    QCOMPARE(identity.left(26), QByteArray("mac: \x02\x56\x51\x00\x04\xD2\nserial: 001234", 26));
    QCOMPARE(identity.mid(26), QByteArray(0x10000 - 26, '\xFF'));
    QCOMPARE(root.read("/sbin/fw_setenv.called"), QByteArray("runlevel 4\n"));
    QCOMPARE(QFile(root.path("/var/volatile/tmps")).permissions() & 0x7777,
             QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);

    Brevane::VqPlatformAbstraction platform;
    QCOMPARE(platform.serialNumber(), 1234u);
}

void TestPlatformAbstraction::serialReadFailures_data()
{
    // Empty: no "/proc/mtd"; "-": no identity partition in it.
    QTest::addColumn<QByteArray>("identity");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("no partition map")
        << QByteArray() << QByteArray("Failed to get mtp parts\nFailed to open mtd\n");
    QTest::newRow("no identity partition") << QByteArray("-") << QByteArray("Failed to open mtd\n");
    QTest::newRow("partition shorter than the record") << QByteArray("mac: 123456\nserial: 0012")
                                                       << QByteArray("Cannot read\n");
    QTest::newRow("key missing") << QByteArray("mac: 123456\nSerial: 001234") << QByteArray("Cannot find serial key\n");
    QTest::newRow("cannot seek") << QByteArray("/dev/null") << QByteArray("Cannot seek\n");
}

void TestPlatformAbstraction::serialReadFailures()
{
    QFETCH(QByteArray, identity);
    QFETCH(QByteArray, message);
    FakeRoot root;
    if (identity == "/dev/null") {
        root.addIdentityPartition();
        QFile::remove(root.path("/dev/mtd2"));
        QVERIFY(QFile::link("/dev/null", root.path("/dev/mtd2")));
    } else if (identity == "-") {
        root.write("/proc/mtd", MTD_HEADING + "mtd0: 00040000 00010000 \"u-boot\"\n");
    } else if (!identity.isEmpty()) {
        root.addIdentityPartition(identity);
    }
    OutputCapture errors(STDERR_FILENO);
    Brevane::VqPlatformAbstraction platform;
    QCOMPARE(platform.serialNumber(), Brevane::INVALID_SERIAL_NUMBER);
    QCOMPARE(errors.text(), message);
}

void TestPlatformAbstraction::serialWriteFailures()
{
    OutputCapture errors(STDERR_FILENO);
    QCOMPARE(Brevane::readSerialNumber(nullptr), -1);
    {
        FakeRoot root;
        root.addIdentityPartition();
        QCOMPARE(Brevane::writeSerialNumber(1), -1); // no /var/volatile to stage the record in
    }
    {
        FakeRoot root;
        root.write("/var/volatile/.keep", "");
        QCOMPARE(Brevane::writeSerialNumber(1), -1); // no identity partition
    }
    const QByteArray text = errors.text();
    QVERIFY(text.startsWith("Nowhere to put serial num!\n"));
    QVERIFY(text.contains("/var/volatile/tmps: No such file or directory"));
}

void TestPlatformAbstraction::versionHardwareIdentity_data()
{
    QTest::addColumn<int>("mainBoard"); // -1: GPIO unreadable
    QTest::addColumn<QByteArray>("fpgaDriver"); // empty: "/proc/brev_pcie" missing
    QTest::addColumn<QStringList>("values"); // Main, Mezzanine, Frontpanel, FPGA ID, FPGA
    QTest::addColumn<bool>("vqLMainBoard");

    const QByteArray driver = "fpga_version: 1.2.3+45\nfpga_design_id: 7\n";
    QTest::newRow("main board 64") << 64 << driver << QStringList{"64", "3", "21", "7", "1.2.3+45"} << true;
    QTest::newRow("GPIO unreadable") << -1 << driver << QStringList{"Unknown", "-1", "Unknown", "7", "1.2.3+45"}
                                     << false;
    QTest::newRow("no FPGA driver") << 127 << QByteArray() << QStringList{"127", "3", "21", "0", "0.0.0+0"} << true;
}

void TestPlatformAbstraction::versionHardwareIdentity()
{
    QFETCH(int, mainBoard);
    QFETCH(QByteArray, fpgaDriver);
    QFETCH(QStringList, values);
    QFETCH(bool, vqLMainBoard);

    FakeRoot root;
    if (mainBoard >= 0) {
        root.setMainBoard(unsigned(mainBoard));
        root.setGpioLines({508, 507, 506, 505, 504}, 3);
        root.setGpioLines({502, 501, 500, 499, 498, 497, 496}, 21);
    }
    if (!fpgaDriver.isEmpty())
        root.write("/proc/brev_pcie", fpgaDriver);

    OutputCapture errors(STDERR_FILENO);
    Brevane::VqPlatformAbstraction platform;
    const VersionInfo version(platform);
    QCOMPARE((QStringList{version.mainBoard.second, version.mezzanine.second, version.frontPanel.second,
                          version.fpgaId.second, version.fpga.second}),
             values);
    QCOMPARE(version.isVqLMainBoard(), vqLMainBoard);
}

// The one instance reads the hardware once, however often it is asked for.
void TestPlatformAbstraction::buildIdentityAndSingleInstance()
{
    FakeRoot root;
    root.setMainBoard(70);
    OutputCapture errors(STDERR_FILENO);
    VersionInfo& version = VersionInfo::getInstance();
    root.setMainBoard(5);
    QCOMPARE(&VersionInfo::getInstance(), &version);
    QCOMPARE(VersionInfo::getInstance().mainBoard.second, QStringLiteral("70"));
    QVERIFY(version.isVqLMainBoard());
    // The report's rows: the software first, the hardware last.
    const QList<VersionInfo::Pair> pairs = version.pairs();
    QCOMPARE(pairs.size(), 11);
    QCOMPARE(pairs.first().first + ' ' + pairs.last().first, QStringLiteral("Software FPGA"));
    QVERIFY2(QRegularExpression(QStringLiteral("^[0-9a-f]{40}$")).match(version.sha1.second).hasMatch(),
             qPrintable(version.sha1.second));
    QVERIFY(!version.branch.second.isEmpty());
}

QTEST_GUILESS_MAIN(TestPlatformAbstraction)
#include "tst_platformabstraction.moc"
