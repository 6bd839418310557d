#pragma once

#include <QStringList>

#include <spdlog/common.h>

#include <memory>

// Captures what is written through the "VQLOG" logger for the lifetime of the
// object. If no "VQLOG" logger is registered, one is registered that writes
// only to the capture (threshold info, as in the program) and is dropped again
// at the end.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // The messages at level; at every level for off.
    QStringList messages(spdlog::level::level_enum level = spdlog::level::off) const;
    // Number of messages equal to text (at the level, if one is given).
    int count(const QString& text) const { return int(messages().count(text)); }
    int count(spdlog::level::level_enum level, const QString& text) const { return int(messages(level).count(text)); }
    // Number of messages that start with prefix.
    int countStartingWith(const QString& prefix) const;
    void clear();

private:
    class Sink;
    std::shared_ptr<Sink> m_sink;
    bool m_ownsLogger = false;
};
