#pragma once

// How every part of the program writes a log message: look the "VQLOG" logger up
// by name at each message and hand it an fmt format string. Qt string types are
// written as UTF-8. A message written while no "VQLOG" logger is registered
// (before set-up or after shut-down) is skipped.

#include <QString>
#include <QStringList>

#include <fmt/format.h>
#include <spdlog/spdlog.h>

#include <utility>

inline constexpr const char VQ_LOGGER_NAME[] = "VQLOG";

template <>
struct fmt::formatter<QString> : fmt::formatter<fmt::string_view>
{
    template <typename FormatContext>
    auto format(const QString& text, FormatContext& ctx) const -> decltype(ctx.out())
    {
        const QByteArray utf8 = text.toUtf8();
        return fmt::formatter<fmt::string_view>::format(
            fmt::string_view(utf8.constData(), static_cast<size_t>(utf8.size())), ctx);
    }
};

template <>
struct fmt::formatter<QStringList> : fmt::formatter<QString>
{
    template <typename FormatContext>
    auto format(const QStringList& items, FormatContext& ctx) const -> decltype(ctx.out())
    {
        return fmt::formatter<QString>::format(items.join(QString()), ctx);
    }
};

namespace VqLog {

inline std::shared_ptr<spdlog::logger> logger()
{
    return spdlog::get(VQ_LOGGER_NAME);
}

template <typename... Args>
void info(fmt::format_string<Args...> format, Args&&... args)
{
    if (auto log = logger())
        log->info(format, std::forward<Args>(args)...);
}

template <typename... Args>
void warn(fmt::format_string<Args...> format, Args&&... args)
{
    if (auto log = logger())
        log->warn(format, std::forward<Args>(args)...);
}

template <typename... Args>
void error(fmt::format_string<Args...> format, Args&&... args)
{
    if (auto log = logger())
        log->error(format, std::forward<Args>(args)...);
}

template <typename... Args>
void debug(fmt::format_string<Args...> format, Args&&... args)
{
    if (auto log = logger())
        log->debug(format, std::forward<Args>(args)...);
}

} // namespace VqLog
