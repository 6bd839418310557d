#include "logserialisabledatapacket.h"

#include <QJsonValue>

namespace {
const QString JULIAN_DATE_KEY = QStringLiteral("julianDate");
const QString MSECS_KEY = QStringLiteral("msecsSinceStartOfDay");
}

LogSerialisableDataPacket::LogSerialisableDataPacket(const QString& className)
    : SerialisableDataPacket(className)
{
}

LogSerialisableDataPacket::~LogSerialisableDataPacket() = default;

QDateTime LogSerialisableDataPacket::dateTime() const
{
    const QDate date = QDate::fromJulianDay(intMember(JULIAN_DATE_KEY));
    const QTime time = QTime::fromMSecsSinceStartOfDay(intMember(MSECS_KEY));
    return QDateTime(date, time, Qt::LocalTime);
}

void LogSerialisableDataPacket::setDateTime(const QDateTime& when)
{
    const QTime time = when.time();
    jsonObject().insert(MSECS_KEY, time.isValid() ? time.msecsSinceStartOfDay() : 0);
    jsonObject().insert(JULIAN_DATE_KEY, double(when.date().toJulianDay()));
}

QString LogSerialisableDataPacket::stringMember(const QString& key) const
{
    return jsonObject().value(key).toString();
}

bool LogSerialisableDataPacket::hasMember(const QString& key) const
{
    return jsonObject().contains(key);
}

int LogSerialisableDataPacket::intMember(const QString& key) const
{
    return jsonObject().value(key).toInt();
}

double LogSerialisableDataPacket::doubleMember(const QString& key) const
{
    return jsonObject().value(key).toDouble();
}

bool LogSerialisableDataPacket::boolMember(const QString& key) const
{
    return jsonObject().value(key).toBool();
}

QString LogSerialisableDataPacket::jitterConformanceText(const QString& what, const QString& valueKey) const
{
    const bool ok = boolMember(QStringLiteral("alignement_jitter_status"));
    const float value = float(doubleMember(valueKey));
    return what + (ok ? QStringLiteral(" ok: ") : QStringLiteral(" out of spec: ")) + QString::number(double(value), 'g', 6);
}
