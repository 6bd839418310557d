#include "childrun.h"
#include "fakeroot.h"
#include "gpio.h"
#include "mtdpartitions.h"
#include "serialnumber.h"
#include "versioninfo.h"
#include "vqplatformabstraction.h"

#include <QtTest>

class TestPlatformAbstraction : public QObject
{
    Q_OBJECT

private slots:
    void hardwareId_data();
    void hardwareId();
    void identityReadOnce();
    void pwmAndWatchdog();
    void identityPartition();
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
    QCOMPARE((QList<int>{platform.hardwareId(which), platform.isHardwareIdValid(which),
                         Brevane::readHardwareIdentity(which), Brevane::readBoardClass()}),
             (QList<int>{expected, expected >= 0, which == 3 ? 0xB : expected, boardClass}));
    // An identity out of range must not reach for any line.
    QCOMPARE(errors.text().isEmpty(), mainBoard >= 0);
}

// The platform and the one VersionInfo read each identity once, however often
// they are asked; a read that failed is tried again.
void TestPlatformAbstraction::identityReadOnce()
{
    FakeRoot root;
    root.setMainBoard(70);
    root.setGpioLines({502, 501, 500, 499, 498, 497, 496}, 21);
    root.write("/proc/brev_pcie", "fpga_version: 1.2.3+45\nfpga_design_id: 7\n");
    Brevane::VqPlatformAbstraction platform;
    {
        // The mezzanine's lines are missing.
        OutputCapture errors(STDERR_FILENO);
        QCOMPARE(platform.hardwareId(0), 70);
        VersionInfo& version = VersionInfo::getInstance();
        QCOMPARE(platform.hardwareId(1), -1);
        QVERIFY(errors.text().contains("gpio508/value: No such file or directory"));
        root.setMainBoard(5);
        QCOMPARE(platform.hardwareId(0), 70);
        QCOMPARE(&VersionInfo::getInstance(), &version);
        QCOMPARE((QStringList{version.mainBoard.second, version.mezzanine.second, version.frontPanel.second,
                              version.fpgaId.second, version.fpga.second}),
                 (QStringList{"70", "-1", "21", "7", "1.2.3+45"}));
        QVERIFY(version.isVqLMainBoard());
        // The report's rows: the software first, the hardware last.
        const QList<VersionInfo::Pair> pairs = version.pairs();
        QCOMPARE(pairs.size(), 11);
        QCOMPARE(pairs.first().first + ' ' + pairs.last().first, QStringLiteral("Software FPGA"));
    }
    root.setGpioLines({508, 507, 506, 505, 504}, 0x11);
    // A single byte without its newline is a whole value.
    root.write(QStringLiteral("/sys/class/gpio/gpio504/value"), "1");
    QCOMPARE(platform.hardwareId(1), 0x11);
}

// Byte 0 drives pwmchip2, byte 1 pwmchip0, byte 2 pwmchip1 and byte 3
// nothing; a failed export (pwmchip1 has none) is reported, but every chip is
// still programmed. Misuse of the watchdog ends the process, so a child of
// this test makes it.
void TestPlatformAbstraction::pwmAndWatchdog()
{
    FakeRoot root;
    if (ChildRun::mode() == "misuse") {
        Brevane::VqPlatformAbstraction().kickWatchdog();
        QFAIL("the process went on");
    }
    QStringList files;
    for (const char* chip : {"0", "1", "2"})
        for (const char* file : {"export", "pwm0/period", "pwm0/duty_cycle", "pwm0/enable"})
            files << QStringLiteral("/sys/class/pwm/pwmchip%1/%2").arg(chip, file);
    for (const QString& file : files)
        root.write(file, file.endsWith("export") ? "" : "999999999");
    QFile::remove(root.path(files.at(4)));
    root.write("/dev/watchdog", "");
    Brevane::VqPlatformAbstraction platform;
    OutputCapture errors(STDERR_FILENO);
    QVERIFY(platform.setPwmOutputs(0xAAFF8000u, true));
    QCOMPARE(errors.text(), QByteArray());
    QStringList written;
    for (const QString& file : files)
        written << root.read(file);
    QCOMPARE(written,
             (QStringList{"0", "255000", "128000", "1", "", "255000", "255000", "1", "0", "255000", "0", "1"}));

    QCOMPARE((QList<int>{platform.openWatchdog(30), platform.kickWatchdog(), platform.kickWatchdog(),
                         platform.closeWatchdog()}), (QList<int>{0, 0, 0, 1}));
    QCOMPARE(root.read("/dev/watchdog"), QByteArray("WDIOC_SETTIMEOUT 30\nWDIOC_KEEPALIVE\nWDIOC_KEEPALIVE\nV"));
    // Ending the process inside a test function strands the test library's
    // own allocations; they are no leak of ours.
    const QString asan = "ASAN_OPTIONS=" + QString::fromLocal8Bit(qgetenv("ASAN_OPTIONS")) + ":detect_leaks=0";
    const ChildRun::Result child = ChildRun::run("misuse", {QStringLiteral("pwmAndWatchdog")}, {}, {asan});
    QCOMPARE(child.errors + QByteArray::number(child.exitStatus) + QByteArray::number(child.exitCode),
             QByteArray("Watchdog device not open\n01"));
}

// The first line of the partition list is the heading, whatever it says, and
// a heading alone is an error; a line of too few fields is reported and
// skipped, one that is not hexadecimal ends the parse. The serial number goes
// to the partition the list names "ident".
void TestPlatformAbstraction::identityPartition()
{
    OutputCapture errors(STDERR_FILENO);
    QVERIFY(Brevane::parseMtdPartitions("dev:    size   erasesize  name\n").empty());
    const Brevane::MtdPartitionMap map = Brevane::parseMtdPartitions(
        "mtd9: 00000001 00000001 \"heading\"\nmtd0: 00040000 \"u-boot\"\nmtd1: 00020000 00001000 \"env\"\n");
    QCOMPARE(int(map.size()), 1);
    const Brevane::MtdPartition& env = map.at("env");
    QCOMPARE(QString::fromStdString(env.name + ' ' + env.device + ' ' + std::to_string(env.size) + ' '
                                    + std::to_string(env.eraseSize)), QStringLiteral("env mtd1 131072 4096"));
    QCOMPARE(errors.text(),
             QByteArray("Failed to get mtp parts\nCould not find enough tokens (found: 3 wanted: 4)\n"));
    QVERIFY_EXCEPTION_THROWN(Brevane::parseMtdPartitions("heading\nmtd0: xyz 00010000 \"a\"\n"), std::invalid_argument);

    FakeRoot root;
    root.write("/proc/mtd", "dev:    size   erasesize  name\nmtd1: 00010000 00010000 \"u-boot-env\"\n"
                            "mtd2: 00010000 00010000 \"ident\"\n");
    root.write("/dev/mtd2", QByteArray(0x10000, '\x5A'));
    root.write("/var/volatile/.keep", "");
    root.write("/sbin/fw_setenv", "#!/bin/sh\necho \"$@\" > \"$(dirname \"$0\")/fw_setenv.called\"\n");
    QFile(root.path("/sbin/fw_setenv")).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    OutputCapture writeErrors(STDERR_FILENO);
    QCOMPARE(Brevane::writeSerialNumber(1234), 0);
    QVERIFY(root.read("/dev/mtd2")
            == QByteArray("mac: \x02\x56\x51\x00\x04\xD2\nserial: 001234", 26) + QByteArray(0x10000 - 26, '\xFF'));
    QCOMPARE(root.read("/sbin/fw_setenv.called"), QByteArray("runlevel 4\n"));
    QCOMPARE(QFile(root.path("/var/volatile/tmps")).permissions() & 0x7777,
             QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    Brevane::VqPlatformAbstraction platform;
    QCOMPARE(platform.serialNumber(), 1234u);
    QVERIFY_EXCEPTION_THROWN(Brevane::mtdDeviceName("kernel"), std::out_of_range);
}

QTEST_GUILESS_MAIN(TestPlatformAbstraction)
#include "tst_platformabstraction.moc"
