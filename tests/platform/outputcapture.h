#pragma once

#include <QByteArray>
#include <QTemporaryFile>

// Sends what the process writes to a standard stream (1 or 2) into a file
// until text() or destruction, for the platform functions that print there.
class OutputCapture
{
public:
    explicit OutputCapture(int fd);
    ~OutputCapture() { text(); }

    // Ends the capture and returns what was written.
    QByteArray text();

private:
    int m_fd;
    int m_saved = -1;
    QTemporaryFile m_file;
    QByteArray m_text;
};
