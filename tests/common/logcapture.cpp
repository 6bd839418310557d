#include "logcapture.h"

#include "vqlog.h"

#include <spdlog/sinks/base_sink.h>

#include <algorithm>
#include <mutex>

class LogCapture::Sink : public spdlog::sinks::base_sink<std::mutex>
{
public:
    QList<Record> records() const
    {
        std::lock_guard<std::mutex> lock(const_cast<std::mutex&>(mutex_));
        return m_records;
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        m_records.clear();
    }

protected:
    void sink_it_(const spdlog::details::log_msg& message) override
    {
        m_records.append({message.level,
                          QString::fromUtf8(message.payload.data(), static_cast<int>(message.payload.size()))});
    }
    void flush_() override {}

private:
    QList<Record> m_records;
};

LogCapture::LogCapture()
    : m_sink(std::make_shared<Sink>())
{
    auto logger = spdlog::get(VQ_LOGGER_NAME);
    if (!logger) {
        logger = std::make_shared<spdlog::logger>(VQ_LOGGER_NAME);
        logger->set_level(spdlog::level::info);
        spdlog::register_logger(logger);
        m_ownsLogger = true;
    }
    logger->sinks().push_back(m_sink);
}

LogCapture::~LogCapture()
{
    if (auto logger = spdlog::get(VQ_LOGGER_NAME)) {
        auto& sinks = logger->sinks();
        sinks.erase(std::remove(sinks.begin(), sinks.end(), m_sink), sinks.end());
        if (m_ownsLogger)
            spdlog::drop(VQ_LOGGER_NAME);
    }
}

QStringList LogCapture::messages() const
{
    QStringList result;
    for (const Record& record : m_sink->records())
        result.append(record.text);
    return result;
}

QStringList LogCapture::messages(spdlog::level::level_enum level) const
{
    QStringList result;
    for (const Record& record : m_sink->records()) {
        if (record.level == level)
            result.append(record.text);
    }
    return result;
}

int LogCapture::count(const QString& text) const
{
    return int(messages().count(text));
}

int LogCapture::count(spdlog::level::level_enum level, const QString& text) const
{
    return int(messages(level).count(text));
}

int LogCapture::countStartingWith(const QString& prefix) const
{
    const QStringList all = messages();
    return int(std::count_if(all.begin(), all.end(),
                             [&prefix](const QString& text) { return text.startsWith(prefix); }));
}

void LogCapture::clear()
{
    m_sink->clear();
}
