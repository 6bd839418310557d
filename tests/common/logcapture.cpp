#include "logcapture.h"

#include "vqlog.h"

#include <spdlog/sinks/base_sink.h>

#include <algorithm>
#include <mutex>
#include <utility>

class LogCapture::Sink : public spdlog::sinks::base_sink<std::mutex>
{
public:
    // Under the sink's own lock: threads of the code under test may log meanwhile.
    QList<QPair<spdlog::level::level_enum, QString>> take(bool clear)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return clear ? std::exchange(records, {}) : records;
    }

protected:
    void sink_it_(const spdlog::details::log_msg& message) override
    {
        records.append({message.level, QString::fromUtf8(message.payload.data(), int(message.payload.size()))});
    }
    void flush_() override {}

private:
    QList<QPair<spdlog::level::level_enum, QString>> records;
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

QStringList LogCapture::messages(spdlog::level::level_enum level) const
{
    QStringList result;
    for (const auto& record : m_sink->take(false)) {
        if (level == spdlog::level::off || record.first == level)
            result.append(record.second);
    }
    return result;
}

int LogCapture::countStartingWith(const QString& prefix) const
{
    const QStringList all = messages();
    return int(std::count_if(all.begin(), all.end(), [&](const QString& text) { return text.startsWith(prefix); }));
}

void LogCapture::clear()
{
    m_sink->take(true);
}
