#include "outputcapture.h"

#include <cstdio>
#include <unistd.h>

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
    if (m_saved >= 0) {
        std::fflush(nullptr);
        ::dup2(m_saved, m_fd);
        ::close(m_saved);
        m_saved = -1;
        m_file.seek(0);
        m_text = m_file.readAll();
    }
    return m_text;
}
