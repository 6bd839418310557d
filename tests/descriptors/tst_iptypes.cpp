#include "iptypes.h"

#include <QHostAddress>
#include <QtTest>

using namespace Brevane::IpTypes;

namespace {

using Converter = QString (*)(quint32);

// Spelled as bytes so that a sign typed as its look-alike fails.
#define MICRO_SIGN "\xC2\xB5"
#define GREEK_MU "\xCE\xBC"

void addRows(const char* name, Converter converter, std::initializer_list<std::pair<quint32, const char*>> rows)
{
    for (const auto& row : rows) {
        const QByteArray tag = QByteArray(name) + '(' + QByteArray::number(row.first) + ") " + row.second;
        QTest::newRow(tag.constData()) << converter << row.first << QString::fromUtf8(row.second);
    }
}

const QString UNTOUCHED = QStringLiteral("untouched");
const QString LOCAL_BLOCK = QStringLiteral("Destination IP is in the IANA Local Network Control Block");
const QString INTERNETWORK_BLOCK = QStringLiteral("Destination IP is in the IANA Internetwork Control Block");
const QString BROADCAST = QStringLiteral("Destination IP is a Broadcast IP address");

} // namespace

Q_DECLARE_METATYPE(Converter)

class TestIpTypes : public QObject
{
    Q_OBJECT

private slots:
    void converterTexts_data();
    void converterTexts();
    void unicastLeg();
    void destinationAddress_data();
    void destinationAddress();
};

void TestIpTypes::converterTexts_data()
{
    QTest::addColumn<Converter>("converter");
    QTest::addColumn<quint32>("code");
    QTest::addColumn<QString>("text");

    // The tables share their lookup, so one of each kind of fallback; the
    // PTP accuracy ranges at both ends.
    addRows("flowModeText", flowModeText, {{2, "Unicast (U/U)"}, {3, "Unknown"}});
    addRows("ptpClockAccuracyText", ptpClockAccuracyText, {{31, "Reserved"}, {32, "< 25 ns"},
        {35, "< 1 " MICRO_SIGN "s"}, {41, "< 1ms"}, {49, "> 10 s"}, {50, "Reserved"}, {127, "Reserved"},
        {128, "Use alternate PTP Profile"}, {253, "Use alternate PTP Profile"}, {254, "Unknown"}, {255, "Reserved"},
        {0xFFFFFFFFu, "Reserved"}});
    addRows("packetTimeText", packetTimeText, {{0, "125 " GREEK_MU "s"}, {4, "4 ms"}, {5, "Error"},
        {255, "Invalid"}, {256, "Error"}});
    addRows("lossOfSignalActionText", lossOfSignalActionText, {{1, "Freeze Last Frame"}, {2, "?"}});
}

void TestIpTypes::converterTexts()
{
    QFETCH(Converter, converter);
    QFETCH(quint32, code);
    QFETCH(QString, text);

    QCOMPARE(converter(code), text);
}

// Each spelling knows only its own name for the mixed mode.
void TestIpTypes::unicastLeg()
{
    QStringList legs;
    for (const char* key : {"smpte-mixed", "hybrid", "unicast", "multicast"})
        legs << QStringLiteral("%1 %2").arg(transportModeHasUnicastLeg(key)).arg(flowModeKeyHasUnicastLeg(key));
    QCOMPARE(legs, (QStringList{"1 0", "0 1", "1 1", "0 0"}));
}

void TestIpTypes::destinationAddress_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("prefixLength");
    QTest::addColumn<bool>("valid");
    // A null text means the reason must be left alone.
    QTest::addColumn<QString>("reason");

    QTest::newRow("ordinary multicast") << "239.1.2.3" << 24 << true << QString();
    QTest::newRow("first of local block") << "224.0.0.0" << 24 << false << LOCAL_BLOCK;
    QTest::newRow("last of local block, also broadcast") << "224.0.0.255" << 24 << false << LOCAL_BLOCK;
    QTest::newRow("last of internetwork block, also broadcast") << "224.0.1.255" << 24 << false << INTERNETWORK_BLOCK;
    QTest::newRow("just past the control blocks") << "224.0.2.0" << 24 << true << QString();
    QTest::newRow("subnet broadcast /24") << "192.168.1.255" << 24 << false << BROADCAST;
    QTest::newRow("limited broadcast /0") << "255.255.255.255" << 0 << false << BROADCAST;
    QTest::newRow("/32 refuses every address") << "239.1.2.3" << 32 << false << BROADCAST;
    QTest::newRow("/0 top bit clear") << "127.255.255.255" << 0 << true << QString();
    QTest::newRow("/1 top bit is network") << "127.255.255.255" << 1 << false << BROADCAST;
    QTest::newRow("negative length taken as /0") << "192.168.1.255" << -1 << true << QString();
    QTest::newRow("length 33 taken as /32") << "192.168.1.1" << 33 << false << BROADCAST;
    QTest::newRow("zero address, no reason") << "0.0.0.0" << 24 << false << QString();
    QTest::newRow("null address, no reason") << "" << 24 << false << QString();
}

void TestIpTypes::destinationAddress()
{
    QFETCH(QString, address);
    QFETCH(int, prefixLength);
    QFETCH(bool, valid);
    QFETCH(QString, reason);

    const QHostAddress host(address);
    QString written = UNTOUCHED;
    QCOMPARE(isValidDestinationAddress(host, prefixLength, &written), valid);
    QCOMPARE(written, reason.isNull() ? UNTOUCHED : reason);
    QCOMPARE(isValidDestinationAddress(host, prefixLength, nullptr), valid);
}

QTEST_GUILESS_MAIN(TestIpTypes)
#include "tst_iptypes.moc"
