#pragma once

#include "serialisabledatapacketacceptorinterface.h"

#include <QObject>
#include <QStringList>

#include <memory>

class LogSerialisableDataPacket;
class SerialisableDataPacket;

// Takes "SequencePackagedLogPacket" carriers, rebuilds the event packet each
// carries and emits it as one line of text: the event's local date and time in
// Qt's text date format, a blank, and the event's own text. Carriers without a
// usable event, and events of unknown classes, are dropped silently. It writes
// the lines nowhere itself.
class VqClientSequencePackagedLogPacketHandler : public QObject, public SerialisableDataPacketAcceptorInterface
{
    Q_OBJECT

public:
    explicit VqClientSequencePackagedLogPacketHandler(QObject* parent = nullptr);

    bool canAcceptPacket(QString className) override;
    void acceptPacket(const SerialisableDataPacket& packet) override;

    // The event packet for an embedded packet's "Class", or null for an unknown class.
    static std::shared_ptr<LogSerialisableDataPacket> createEventPacket(const SerialisableDataPacket& embedded);

signals:
    void newLogEntry(QString entry);

private:
    // Part of the handler's fixed data layout; nothing here fills or reads it.
    QStringList m_logEntries;
};
