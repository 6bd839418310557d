#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A temporary device root of plain files laid out like the instrument's, made
// the platform layer's root for the object's lifetime.
class FakeRoot
{
public:
    FakeRoot();
    ~FakeRoot();

    QString path(const QString& absolute) const;
    void write(const QString& absolute, const QByteArray& content) const;
    QByteArray read(const QString& absolute) const;
    // The strap lines get the bits of value, most significant first.
    void setGpioLines(std::initializer_list<unsigned> lines, unsigned value) const;
    void setMainBoard(unsigned value) const;
    // "/proc/mtd" with the identity partition on mtd2, and that partition.
    void addIdentityPartition(const QByteArray& content = QByteArray(0x10000, '\0')) const;

private:
    QTemporaryDir m_directory;
};
