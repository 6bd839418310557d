#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <spdlog/common.h>

#include <memory>

namespace spdlog { namespace sinks { class sink; } }

// Captures what is written through the "VQLOG" logger for the lifetime of the
// object. If no "VQLOG" logger is registered, one is registered that writes
// only to the capture (threshold info, as in the program) and is dropped again
// at the end.
class LogCapture
{
public:
    struct Record
    {
        spdlog::level::level_enum level;
        QString text;
    };

    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    QStringList messages() const;
    QStringList messages(spdlog::level::level_enum level) const;
    // Number of messages equal to text (at the level, if one is given).
    int count(const QString& text) const;
    int count(spdlog::level::level_enum level, const QString& text) const;
    // Number of messages that start with prefix.
    int countStartingWith(const QString& prefix) const;
    void clear();

private:
    class Sink;
    std::shared_ptr<Sink> m_sink;
    bool m_ownsLogger = false;
};
