#include "streamrecording.h"

#include <QFile>
#include <QList>

#include <algorithm>

const QByteArray StreamRecording::MAGIC_LINE = QByteArrayLiteral("VQREC 1");

namespace {

constexpr int MAX_SECONDS_DIGITS = 10;
constexpr int FRACTION_DIGITS = 6;
constexpr qint64 MICROSECONDS_PER_SECOND = 1000000;
const QByteArray CLOSE_WORD = QByteArrayLiteral("close");

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isHexDigit(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// "12.5" gives 12500000; no sign, no exponent, at most 6 decimals.
bool parseTime(const QByteArray& text, qint64* timeUs)
{
    const int dot = text.indexOf('.');
    const QByteArray seconds = dot < 0 ? text : text.left(dot);
    const QByteArray fraction = dot < 0 ? QByteArray() : text.mid(dot + 1);
    if (seconds.isEmpty() || seconds.size() > MAX_SECONDS_DIGITS || (dot >= 0 && fraction.isEmpty())
        || fraction.size() > FRACTION_DIGITS)
        return false;
    qint64 whole = 0;
    for (const char c : seconds) {
        if (!isDigit(c))
            return false;
        whole = whole * 10 + (c - '0');
    }
    qint64 micro = 0;
    for (int i = 0; i < FRACTION_DIGITS; ++i) {
        const char c = i < fraction.size() ? fraction.at(i) : '0';
        if (!isDigit(c))
            return false;
        micro = micro * 10 + (c - '0');
    }
    *timeUs = whole * MICROSECONDS_PER_SECOND + micro;
    return true;
}

QByteArray timeText(qint64 timeUs)
{
    return QByteArray::number(timeUs / MICROSECONDS_PER_SECOND) + '.'
        + QByteArray::number(timeUs % MICROSECONDS_PER_SECOND).rightJustified(FRACTION_DIGITS, '0');
}

bool startsWithMagicLine(const QByteArray& contents)
{
    if (!contents.startsWith(StreamRecording::MAGIC_LINE))
        return false;
    const int size = StreamRecording::MAGIC_LINE.size();
    return contents.size() == size || contents.at(size) == '\n' || contents.at(size) == '\r';
}

} // namespace

bool StreamRecording::parse(const QByteArray& contents, QString* error)
{
    m_chunks.clear();
    m_closeTimeUs = -1;
    m_raw = !startsWithMagicLine(contents);
    // "VQREC" with another version: a recording, but of a form this program does not know.
    if (m_raw && contents.startsWith("VQREC ")) {
        const QByteArray version = contents.mid(6, contents.indexOf('\n') < 0 ? -1 : contents.indexOf('\n') - 6);
        *error = QStringLiteral("a recording of version %1; this program replays version 1 only")
                     .arg(QString::fromLatin1(version.trimmed().left(20)));
        return false;
    }
    if (m_raw) {
        if (!contents.isEmpty())
            m_chunks.push_back({0, contents});
        return true;
    }

    const QList<QByteArray> lines = contents.split('\n');
    qint64 previousUs = 0;
    for (int index = 1; index < lines.size(); ++index) {
        QByteArray line = lines.at(index);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const auto fail = [&](const char* what) {
            *error = QStringLiteral("line %1: %2").arg(index + 1).arg(QLatin1String(what));
            m_chunks.clear();
            m_closeTimeUs = -1;
            return false;
        };
        if (closesConnection())
            return fail("nothing may follow close");
        const int space = line.indexOf(' ');
        qint64 timeUs = 0;
        if (space < 0 || !parseTime(line.left(space), &timeUs))
            return fail("expected a time in seconds, a space, then hex bytes or close");
        if (timeUs < previousUs)
            return fail("time goes backwards");
        previousUs = timeUs;
        const QByteArray rest = line.mid(space + 1);
        if (rest == CLOSE_WORD) {
            m_closeTimeUs = timeUs;
            continue;
        }
        if (rest.isEmpty() || rest.size() % 2 != 0 || !std::all_of(rest.cbegin(), rest.cend(), isHexDigit))
            return fail("bytes must be an even number of hex digits");
        m_chunks.push_back({timeUs, QByteArray::fromHex(rest)});
    }
    return true;
}

bool StreamRecording::load(const QString& fileName, QString* error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(fileName, file.errorString());
        return false;
    }
    if (!parse(file.readAll(), error)) {
        *error = fileName + QStringLiteral(": ") + *error;
        return false;
    }
    return true;
}

qint64 StreamRecording::byteCount() const
{
    qint64 count = 0;
    for (const Chunk& chunk : m_chunks)
        count += chunk.bytes.size();
    return count;
}

QByteArray StreamRecording::stream() const
{
    QByteArray bytes;
    bytes.reserve(int(byteCount()));
    for (const Chunk& chunk : m_chunks)
        bytes += chunk.bytes;
    return bytes;
}

QByteArray StreamRecording::chunkLine(qint64 timeUs, const char* data, int size)
{
    return timeText(timeUs) + ' ' + QByteArray::fromRawData(data, size).toHex() + '\n';
}

QByteArray StreamRecording::closeLine(qint64 timeUs)
{
    return timeText(timeUs) + ' ' + CLOSE_WORD + '\n';
}
