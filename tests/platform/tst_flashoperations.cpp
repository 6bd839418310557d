#include "fakeroot.h"
#include "flashoperations.h"

#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using namespace Brevane;

namespace {

constexpr int BLOCK = 0x10000;
constexpr int BLOCKS = 3;

// A root whose "/dev/mtd3" is a three-block partition of zeros.
class FlashRoot : public FakeRoot
{
public:
    FlashRoot()
    {
        write("/proc/mtd", "dev:    size   erasesize  name\nmtd3: 00030000 00010000 \"fpga\"\n");
        write("/dev/mtd3", QByteArray(BLOCKS * BLOCK, '\0'));
    }
    QByteArray flashPath() const { return QFile::encodeName(path("/dev/mtd3")); }
    QByteArray flash() const { return read("/dev/mtd3"); }
};

// Seven bytes over and over, so that a piece out of place shows.
QByteArray pattern(int size)
{
    return QByteArray("\x01\x08\x0F\x16\x1D\x24\x2B").repeated(size / 7 + 1).left(size);
}

// Bytes of the stand-in partition: erased (0xFF) from `from` up to `to`, zero elsewhere.
QByteArray erasedBetween(int from, int to)
{
    return QByteArray(from, '\0') + QByteArray(to - from, '\xFF') + QByteArray(BLOCKS * BLOCK - to, '\0');
}

struct Erase
{
    long start;
    qlonglong size; // -1: not given
    int result;
    QByteArray flash;
    QByteArray messages; // %D: the device
    unsigned flags = FLASH_DISPLAY_DEFAULT;
    QString device = QStringLiteral("/dev/mtd3");
};

} // namespace

Q_DECLARE_METATYPE(Erase)

class TestFlashOperations : public QObject
{
    Q_OBJECT

private slots:
    void init() { setFlashDisplayFlags(FLASH_DISPLAY_DEFAULT); }
    void erase_data();
    void erase();
    void eraseFailure();
    void copy_data();
    void copy();
};

void TestFlashOperations::erase_data()
{
    QTest::addColumn<Erase>("row");
    const QByteArray untouched(BLOCKS * BLOCK, '\0');
    QTest::newRow("whole partition") << Erase{0, -1, 0, erasedBetween(0, BLOCKS * BLOCK),
        "No size given, erasing entire partition\nErase in progress: ...\b\b\b033\b\b\b067\b\b\b100\n"
        "Flash erased successfully\n"};
    QTest::newRow("start moved down to the boundary") << Erase{BLOCK + 100, 2 * BLOCK, 0,
        erasedBetween(BLOCK, 3 * BLOCK), "Moving device start offset to erase boundary, new start offset: 65536\n"
        "Erase in progress (2 sectors from offset 0x00010000): ...\n\b\b\b050\b\b\b100\nFlash erased successfully\n"};
    QTest::newRow("more than the partition")
        << Erase{0, 4 * BLOCK, -1, untouched, "attempt to erase more than partition size \n"};
    QTest::newRow("past the end from an offset")
        << Erase{2 * BLOCK, 2 * BLOCK, -1, untouched, "attempt to erase more than partition size \n"};
    QTest::newRow("size off the erase boundary")
        << Erase{0, BLOCK + 1, -1, untouched, "Size not a multiple of erase size\n"};
    QTest::newRow("geometry only") << Erase{0, BLOCK, 0, erasedBetween(0, BLOCK),
        "MTD type: 3\nMTD total size : 196608 bytes\nMTD write size : 1 bytes\nMTD erase size : 65536 bytes\n"
        "MTD overhead / block : 0 bytes\nMTD Flags : 0x00000C00\n", FLASH_SHOW_GEOMETRY};
    QTest::newRow("no such device") << Erase{0, BLOCK, FLASH_CANNOT_OPEN, untouched,
        "Could not open mtd device at %D for erasure\n", FLASH_SHOW_GEOMETRY, "/dev/mtd9"};
}

void TestFlashOperations::erase()
{
    QFETCH(Erase, row);
    FlashRoot root;
    setFlashDisplayFlags(row.flags);
    OutputCapture errors(STDERR_FILENO);
    const QByteArray path = QFile::encodeName(root.path(row.device));
    QCOMPARE(eraseFlash(path, long(row.start), row.size < 0 ? FLASH_SIZE_ALL : size_t(row.size)), row.result);
    QCOMPARE(errors.text(), row.messages.replace("%D", path));
    QVERIFY(root.flash() == row.flash);
}

// A file size limit of one block makes the stand-in's second block refuse the erase.
void TestFlashOperations::eraseFailure()
{
    FlashRoot root;
    root.write("/tmp/in", pattern(2 * BLOCK));
    rlimit saved;
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const rlimit limited{rlim_t(BLOCK), saved.rlim_max};
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    OutputCapture errors(STDERR_FILENO);
    ::setrlimit(RLIMIT_FSIZE, &limited);
    const int whole = eraseFlash(root.flashPath(), 0, FLASH_SIZE_ALL);
    const int copied = copyToFlash(root.path("/tmp/in").toUtf8(), root.flashPath(), 2 * BLOCK, 0);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    QCOMPARE(QPoint(whole, copied), QPoint(FLASH_FAILED, FLASH_ERASE_FAILED));
    QCOMPARE(errors.text(), "No size given, erasing entire partition\nErase in progress: ...\b\b\b033\n"
                            "ERASE IOCTL failed\nFailure to erase whole partition of flash\n"
                            "Erase in progress (2 sectors from offset 0x00000000): ...\n\b\b\b050\n"
                            "ERASE IOCTL failed\nWrite failed, could not erase device "
                                + root.flashPath() + " first\n");
}

void TestFlashOperations::copy_data()
{
    QTest::addColumn<int>("sourceSize"); // -1: no source at all
    QTest::addColumn<QString>("destination");
    QTest::addColumn<qlonglong>("size"); // -1: not given
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("messages"); // %S: source, %D: destination

    const QString out = QStringLiteral("/tmp/out");
    QTest::newRow("new file, part of the source") << 100000 << out << 5000ll << 0 << "";
    QTest::newRow("existing longer file is truncated") << 3000 << "/tmp/long" << -1ll << 0 << "";
    QTest::newRow("file named like a partition, outside /dev, larger than it")
        << 200000 << "/backup/mtd3" << -1ll << 0 << "";
    // Off the erase boundary: two blocks erased, the third untouched.
    QTest::newRow("onto flash") << 70000 << "/dev/mtd3" << 70000ll << 0
        << "Erase in progress (2 sectors from offset 0x00000000): ...\n\b\b\b050\b\b\b100\n"
           "Flash erased successfully\n70000 bytes to transfer\nTransfer in progress: ...\b\b\b094\b\b\b100\n"
           "Success! Copied 70000 bytes from %S to %D\n";
    QTest::newRow("missing source") << -1 << out << 10ll << int(FLASH_CANNOT_OPEN)
                                    << "Could not open %S\nReason: Invalid source\n";
    QTest::newRow("directory as destination") << 1000 << "/tmp" << 10ll << int(FLASH_BAD_DESTINATION)
                                              << "Could not open %D\nReason: Invalid destination\n";
    QTest::newRow("more than the partition") << 1000 << "/dev/mtd3" << qlonglong(BLOCKS * BLOCK + 1)
        << int(FLASH_TOO_LARGE) << "Size requested is 196609 bytes but mtd is only 196608 bytes\n";
    QTest::newRow("source shorter than the size") << 1000 << out << 1001ll << int(FLASH_READ_FAILED)
                                                  << "Could not read from %S\n";
}

void TestFlashOperations::copy()
{
    QFETCH(int, sourceSize);
    QFETCH(QString, destination);
    QFETCH(qlonglong, size);
    QFETCH(int, result);
    QFETCH(QString, messages);
    FlashRoot root;
    const QString source = QStringLiteral("/tmp/in");
    if (sourceSize >= 0)
        root.write(source, pattern(sourceSize));
    root.write("/tmp/long", QByteArray(sourceSize * 2, 'x'));
    root.write("/backup/mtd3", QByteArray(sourceSize * 2, 'x'));
    // Progress is shown for flash only.
    setFlashDisplayFlags(destination.startsWith("/dev/") ? FLASH_DISPLAY_DEFAULT : 0);
    OutputCapture errors(STDERR_FILENO);
    QCOMPARE(copyToFlash(root.path(source).toUtf8(), root.path(destination).toUtf8(),
                         size < 0 ? FLASH_SIZE_ALL : size_t(size), FLASH_COPY_VERIFY),
             result);
    QCOMPARE(QString::fromUtf8(errors.text()),
             messages.replace("%S", root.path(source)).replace("%D", root.path(destination)));
    // Flash is erased up to the next block boundary.
    const QByteArray copied = pattern(size < 0 ? sourceSize : int(size));
    const bool flash = destination == "/dev/mtd3" && result == FLASH_OK;
    const QByteArray erased = erasedBetween(0, (copied.size() + BLOCK - 1) / BLOCK * BLOCK).mid(copied.size());
    QVERIFY(root.flash() == (flash ? copied + erased : QByteArray(BLOCKS * BLOCK, '\0')));
    QVERIFY(flash || result != FLASH_OK || root.read(destination) == copied);
    if (destination == "/tmp/out" && result == FLASH_OK)
        QCOMPARE(QFile(root.path(destination)).permissions() & 0x0777, QFile::Permissions(0x0644));
}

QTEST_GUILESS_MAIN(TestFlashOperations)
#include "tst_flashoperations.moc"
