#pragma once

#include "deviceroot.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>

// For the descriptors OutputCapture takes.
#include <unistd.h>

// Content written to path, with the folders on the way made first.
bool writeFile(const QString& path, const QByteArray& content);
// Empty when the file cannot be read.
QByteArray readFile(const QString& path);

// A temporary device root of plain files laid out like the instrument's, made
// the platform layer's root for the object's lifetime.
class FakeRoot
{
public:
    FakeRoot() { Brevane::setDeviceRoot(QFile::encodeName(m_directory.path()).toStdString()); }
    ~FakeRoot() { Brevane::setDeviceRoot("/"); }

    QString path(const QString& absolute) const { return m_directory.path() + absolute; }
    void write(const QString& absolute, const QByteArray& content) const { writeFile(path(absolute), content); }
    QByteArray read(const QString& absolute) const { return readFile(path(absolute)); }
    // The strap lines get the bits of value, most significant first.
    void setGpioLines(std::initializer_list<unsigned> lines, unsigned value) const;
    void setMainBoard(unsigned value) const { setGpioLines({127, 126, 125, 124, 123, 122, 121}, value); }

private:
    QTemporaryDir m_directory;
};

// Sends what the process writes to a standard stream (1 or 2) into a file
// until text() or destruction, for the platform functions that print there.
class OutputCapture
{
public:
    explicit OutputCapture(int fd);
    ~OutputCapture() { text(); }

    // Ends the capture and returns what was written; nothing the second time.
    QByteArray text();

private:
    int m_fd;
    int m_saved = -1;
    QTemporaryFile m_file;
};
