#include "logcapture.h"
#include "packetfactory.h"

#include <QtTest>

// createPacket covers the whole type-id table, JSON and measurement alike.
class TestPacketFactory : public QObject
{
    Q_OBJECT

private slots:
    void everyTypeId_data();
    void everyTypeId();
};

void TestPacketFactory::everyTypeId_data()
{
    QTest::addColumn<int>("typeId");
    QTest::addColumn<bool>("built");
    QTest::newRow("0x100f, below the table") << 0x100f << false;
    for (int id = 0x1010; id <= 0x1029; ++id)
        QTest::newRow(qPrintable(QStringLiteral("0x%1").arg(id, 0, 16))) << id << true;
    QTest::newRow("0x102a, above the table") << 0x102a << false;
}

void TestPacketFactory::everyTypeId()
{
    QFETCH(int, typeId);
    QFETCH(bool, built);

    // An empty payload: every decoder must cope and the class still answers its id.
    RawDataPacketHeader header;
    header.packetType = quint16(typeId);
    const QByteArray frame = QByteArray::fromHex(QByteArray::number(typeId, 16) + "000000000000");
    LogCapture capture;
    const std::shared_ptr<RawDataPacket> packet = createPacket(frame, header);
    QCOMPARE(bool(packet), built);
    if (packet)
        QCOMPARE(int(packet->packetType()), typeId);
}

QTEST_GUILESS_MAIN(TestPacketFactory)
#include "tst_packetfactory.moc"
