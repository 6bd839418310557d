#pragma once

#include "serialisabledatapacket.h"

#include <QDateTime>
#include <QString>

// Base of the server's event packets: a JSON packet with the event's date
// ("julianDate", "msecsSinceStartOfDay") and members of its own, which each
// event class turns into one line of text. Missing or mistyped members read
// as empty values, never as errors.
class LogSerialisableDataPacket : public SerialisableDataPacket
{
public:
    ~LogSerialisableDataPacket() override;

    virtual QString toLogString() const = 0;

    // The event's local date and time, from "julianDate" and "msecsSinceStartOfDay".
    QDateTime dateTime() const;
    void setDateTime(const QDateTime& when);

protected:
    explicit LogSerialisableDataPacket(const QString& className);

    QString stringMember(const QString& key) const;
    bool hasMember(const QString& key) const;
    int intMember(const QString& key) const;
    double doubleMember(const QString& key) const;
    bool boolMember(const QString& key) const;

    // "<what> ok: <value>" or "<what> out of spec: <value>", the value as a float
    // with six significant digits. Both jitter events take their status from the
    // one member "alignement_jitter_status" (spelled so on the wire).
    QString jitterConformanceText(const QString& what, const QString& valueKey) const;
};
