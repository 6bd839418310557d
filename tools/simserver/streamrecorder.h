#pragma once

#include <QElapsedTimer>
#include <QFile>

class QByteArray;

// Writes what one connection is sent, as it is sent, to a file in the text
// form of StreamRecording, timed from the moment the recorder was opened.
// Every piece is flushed at once, so a server that is killed still leaves a
// usable recording. It neither reads nor replays recordings.
class StreamRecorder
{
public:
    explicit StreamRecorder(const QString& fileName);

    // Creates (or truncates) the file and starts the clock.
    bool open(QString* error);
    bool isOpen() const { return m_file.isOpen(); }

    void record(const QByteArray& bytes);
    // The server closes the connection: the last line; the file is closed.
    void recordClose();

private:
    QFile m_file;
    QElapsedTimer m_clock;
};
