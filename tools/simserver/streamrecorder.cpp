#include "streamrecorder.h"

#include "streamrecording.h"

#include <QByteArray>

#include <algorithm>

StreamRecorder::StreamRecorder(const QString& fileName)
    : m_file(fileName)
{
}

bool StreamRecorder::open(QString* error)
{
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("cannot write %1: %2").arg(m_file.fileName(), m_file.errorString());
        return false;
    }
    m_file.write(StreamRecording::MAGIC_LINE + '\n');
    m_file.flush();
    m_clock.start();
    return true;
}

void StreamRecorder::record(const QByteArray& bytes)
{
    if (!m_file.isOpen())
        return;
    const qint64 timeUs = m_clock.nsecsElapsed() / 1000;
    for (int offset = 0; offset < bytes.size(); offset += StreamRecording::MAX_LINE_BYTES) {
        const int size = std::min(StreamRecording::MAX_LINE_BYTES, bytes.size() - offset);
        m_file.write(StreamRecording::chunkLine(timeUs, bytes.constData() + offset, size));
    }
    m_file.flush();
}

void StreamRecorder::recordClose()
{
    if (!m_file.isOpen())
        return;
    m_file.write(StreamRecording::closeLine(m_clock.nsecsElapsed() / 1000));
    m_file.close();
}
