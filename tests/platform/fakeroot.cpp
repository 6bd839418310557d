#include "fakeroot.h"

#include <QDir>
#include <QFileInfo>

bool writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void FakeRoot::setGpioLines(std::initializer_list<unsigned> lines, unsigned value) const
{
    int bit = int(lines.size());
    for (unsigned line : lines) {
        --bit;
        write(QStringLiteral("/sys/class/gpio/gpio%1/value").arg(line), (value >> bit) & 1 ? "1\n" : "0\n");
    }
}

OutputCapture::OutputCapture(int fd)
    : m_fd(fd)
{
    if (!m_file.open())
        return;
    std::fflush(nullptr);
    m_saved = ::dup(m_fd);
    ::dup2(m_file.handle(), m_fd);
}

QByteArray OutputCapture::text()
{
    if (m_saved < 0)
        return QByteArray();
    std::fflush(nullptr);
    ::dup2(m_saved, m_fd);
    ::close(m_saved);
    m_saved = -1;
    m_file.seek(0);
    return m_file.readAll();
}
