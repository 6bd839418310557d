#include "fakeroot.h"
#include "outputcapture.h"
#include "versioninfo.h"
#include "vqplatformabstraction.h"

#include <QtTest>

#include <unistd.h>

class TestVersionInfo : public QObject
{
    Q_OBJECT

private slots:
    void hardwareIdentity_data();
    void hardwareIdentity();
    void buildIdentityAndSingleInstance();
};

void TestVersionInfo::hardwareIdentity_data()
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

void TestVersionInfo::hardwareIdentity()
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
void TestVersionInfo::buildIdentityAndSingleInstance()
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

QTEST_GUILESS_MAIN(TestVersionInfo)
#include "tst_versioninfo.moc"
