#include "bitfileheader.h"
#include "fakeroot.h"
#include "jedecfile.h"

#include <QtTest>

using namespace Brevane;

namespace {

// A bit-file header written field by field, so that a test can break one.
struct BitFile
{
    QByteArray design = "vq_top;UserID=0X80010203;Version=2019.2";
    QByteArray device = "xcku040-ffva1156-2-e";
    QByteArray date = "2024/03/01";
    QByteArray time = "12:30:45";
    quint32 dataLength = 1024;

    static QByteArray number(quint32 value, int bytes)
    {
        const quint32 big = qToBigEndian(value);
        return QByteArray(reinterpret_cast<const char*>(&big) + 4 - bytes, bytes);
    }
    static QByteArray field(char key, const QByteArray& text)
    {
        return key + number(quint32(text.size() + 1), 2) + text + '\0';
    }
    QByteArray bytes() const
    {
        return number(9, 2) + QByteArray::fromHex("0ff00ff00ff00ff000") + number(1, 2) + field('a', design)
            + field('b', device) + field('c', date) + field('d', time) + 'e' + number(dataLength, 4) + "\xAA\xBB";
    }
};

// Which reader a row is for.
enum { BIT_FILE, FUSE_FILE, FUSE_COUNT };

const QByteArray JEDEC = "\x02*\n"
                         "NOTE Diamond (64-bit) 3.11.2.446 JEDEC Compatible Fuse File.*\n"
                         "NOTE DATE CREATED:\tWed Mar 20 10:31:58 2019*\n"
                         "NOTE DESIGN NAME:\tvq_ctrl_impl1.ncd*\n"
                         "NOTE DEVICE NAME:\tLCMXO2-1200HC-6TG144*\n"
                         "QP144*\nQF343936*\nG0*\nF0*\n"
                         "L000000\n"
                         "00000000000000001111111111111111000000000000000011111111111111110000000000000000111111111111111100000000000000001111111111111111\n"
                         "11111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111\n"
                         "*\n"
                         "NOTE END CONFIG DATA*\n"
                         "L000256\n"
                         "11111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111\n"
                         "*\n"
                         "E0000000000000000000000000000000000000000000000000000000000010001\n"
                         "0000010001100000*\n"
                         "C1A2B*\n"
                         "U00000000000000000000000000000101*\n"
                         "\x03" "ABCD\n";

} // namespace

class TestFpgaFileHeaders : public QObject
{
    Q_OBJECT

private slots:
    void results_data();
    void results();
};

void TestFpgaFileHeaders::results_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("reader");
    QTest::addColumn<qlonglong>("result");
    QTest::addColumn<QByteArray>("errors"); // null: not looked at
    QTest::addColumn<QByteArray>("output"); // null: not looked at

    // Each row changes one thing in a valid file.
    auto row = [](const char* name, void (*change)(BitFile&), qlonglong result,
                  const QByteArray& output = QByteArray()) {
        BitFile file;
        if (change)
            change(file);
        QTest::newRow(name) << file.bytes() << int(BIT_FILE) << result << QByteArray() << output;
    };
    const QByteArray rest = "device: xcku040-ffva1156-2-e\ndate: 2024/03/01\ntime: 12:30:45\nsize: 1024\n";
    row("development build printed", nullptr, 1024,
        "design: vq_top\nversion: 1-2.3(dev)\nvivado: 2019.2\n" + rest);
    row("release build without 0X printed", [](BitFile& f) { f.design = "top;UserID=12340A0B;Version=2020.1"; },
        1024, "design: top\nversion: 4660-10.11\nvivado: 2020.1\n" + rest);
    row("largest data length", [](BitFile& f) { f.dataLength = 0xFFFFFFFFu; }, 0xFFFFFFFFll);
    row("design without fields", [](BitFile& f) { f.design = "vq_top"; }, BIT_FILE_DESIGN_UNSPLIT);
    row("nothing after the user id", [](BitFile& f) { f.design = "vq_top;UserID=0X1"; }, BIT_FILE_NO_TOOL_VERSION);
    row("no user id field", [](BitFile& f) { f.design = "vq_top;COMPRESS=TRUE"; }, BIT_FILE_NO_USER_ID);
    // 16 and 15 bytes with the NUL
    row("date of 16 bytes", [](BitFile& f) { f.date = "2024/03/01 12:3"; }, BIT_FILE_DATE_TOO_LONG);
    row("date of 15 bytes", [](BitFile& f) { f.date = "2024/03/01 12:"; }, 1024);
    // Not even the NUL: an empty text, not a short field.
    QTest::newRow("device field of no bytes")
        << BitFile().bytes().replace(BitFile::field('b', BitFile().device), QByteArray("b\0\0", 3))
        << int(BIT_FILE) << 1024ll << QByteArray() << QByteArray();

    // A file cut short gets the error of the part it was cut in, at the
    // part's first byte and its last. A field has its key, two length bytes
    // and a NUL.
    const BitFile file;
    const std::pair<int, BitFileError> parts[] = {{2, BIT_FILE_BAD_FIRST_LENGTH}, {9, BIT_FILE_NO_PREAMBLE},
        {2, BIT_FILE_BAD_SECOND_LENGTH}, {1, BIT_FILE_NO_DESIGN_KEY}, {file.design.size() + 3, BIT_FILE_SHORT_DESIGN},
        {1, BIT_FILE_NO_DEVICE_KEY}, {file.device.size() + 3, BIT_FILE_SHORT_DEVICE}, {1, BIT_FILE_NO_DATE_KEY},
        {file.date.size() + 3, BIT_FILE_SHORT_DATE}, {1, BIT_FILE_NO_TIME_KEY},
        {file.time.size() + 3, BIT_FILE_SHORT_TIME}, {1, BIT_FILE_NO_DATA_KEY}, {4, BIT_FILE_SHORT_DATA_LENGTH}};
    int start = 0;
    for (const auto& part : parts) {
        for (int size = start; size < start + part.first; size += qMax(part.first - 1, 1))
            QTest::newRow(("cut to " + QByteArray::number(size)).constData())
                << file.bytes().left(size) << int(BIT_FILE) << qlonglong(part.second) << QByteArray() << QByteArray();
        start += part.first;
    }


    auto replaced = [](const char* from, const char* to) { return QByteArray(JEDEC).replace(from, to); };
    auto jedec = [](const char* name, const QByteArray& bytes, bool sizeOnly, int result, const char* errors = "",
                    const char* output = nullptr) {
        QTest::newRow(name) << bytes << int(sizeOnly ? FUSE_COUNT : FUSE_FILE) << qlonglong(result)
                            << QByteArray(errors) << QByteArray(sizeOnly ? "" : output);
    };
    jedec("config lines before the end note", JEDEC, false, 32, "",
          "diamond: (64-bit) 3.11.2.446 JEDEC Compatible Fuse File.\ndate: 20/3/2019\ntime: 10:31:58\n"
          "design: vq_ctrl_impl1.ncd\ndevice: LCMXO2-1200HC-6TG144\nsize: 32\n"
          "featurerow: 00 00 00 00 00 00 00 11\nfeaturebits: 04 60\nusercode: 00 00 00 05\n");
    jedec("size only: fuse count in bytes", JEDEC, true, 343936 / 8);
    jedec("no STX", "*\nNOTE x*\n", false, JEDEC_NO_STX, "No STX at start\n");
    jedec("first line without '*'", replaced("\x02*\n", "\x02\n"), false, JEDEC_BAD_FIRST_LINE);
    jedec("unknown field", replaced("G0*", "X0*"), false, JEDEC_UNKNOWN_FIELD, "88\n");
    jedec("fuse count not a number", replaced("QF343936*", "QF*"), true, JEDEC_BAD_NUMBER);
    jedec("final checksum missing", replaced("\x03" "ABCD", "\x03"), false, JEDEC_BAD_NUMBER);
    jedec("feature row with a 2", replaced("E0000", "E0200"), false, JEDEC_BAD_BITS);
    jedec("fuse data never ended", JEDEC.left(JEDEC.indexOf("*\nNOTE END")), false, JEDEC_BAD_BITS);
    jedec("size only stops at the fuse list", replaced("L000000", "L000000\nX"), true, 343936 / 8);
    jedec("date unreadable", replaced("Wed Mar 20 10:31:58 2019", "Wed Mar"), false, 32,
          "date parse failed 2 : \"Wed Mar\"\n");
}

void TestFpgaFileHeaders::results()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, reader);
    QFETCH(qlonglong, result);
    QFETCH(QByteArray, errors);
    QFETCH(QByteArray, output);
    OutputCapture standardOutput(STDOUT_FILENO);
    OutputCapture standardError(STDERR_FILENO);
    std::FILE* stream = fmemopen(bytes.data(), size_t(bytes.size()), "rb");
    const qint64 got =
        reader == BIT_FILE ? readBitFileHeader(stream, true) : readJedecFile(stream, reader == FUSE_COUNT);
    const int nextByte = std::fgetc(stream);
    std::fclose(stream);
    const QByteArray printed[] = {standardError.text(), standardOutput.text()};
    QCOMPARE(got, qint64(result));
    QCOMPARE(printed[0], errors.isNull() ? printed[0] : errors);
    QCOMPARE(printed[1], output.isNull() ? printed[1] : output);
    if (reader == BIT_FILE && result >= 0) // the data follows at once
        QCOMPARE(nextByte, 0xAA);
}

QTEST_GUILESS_MAIN(TestFpgaFileHeaders)
#include "tst_fpgafileheaders.moc"
