#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <list>
#include <memory>

// A coded message about a datacore: a severity (type) and a reason
// (identifier). Only the two numbers travel in JSON; the text of a reason is
// looked up by the subclass. Messages are small values, copied into lists; the
// class is not part of equality. A message does not decide its own class when
// read from JSON: parseSerialisedMessages() does.
class MessageBase
{
public:
    static constexpr int TYPE_INFORMATION = 0;
    static constexpr int TYPE_WARNING = 1;
    static constexpr int TYPE_ERROR = 2;
    static constexpr int TYPE_UNSPECIFIED = 3;
    static constexpr int IDENTIFIER_UNSET = -1;

    MessageBase(int type, int identifier);
    // Reads "MessageBase" only; missing numbers keep the defaults 3 and -1.
    explicit MessageBase(const QJsonObject& object);
    virtual ~MessageBase();

    // {"MessageBase": {"type", "identifier"}, <className()>: {}}
    virtual QJsonObject toJson() const;
    virtual QString className() const = 0;
    virtual QString text() const = 0;
    virtual bool hasText() const;

    virtual int identifier() const { return m_identifier; }
    virtual void setIdentifier(int identifier) { m_identifier = identifier; }
    virtual int type() const { return m_type; }
    virtual void setType(int type) { m_type = type; }

    virtual bool equals(const MessageBase& other) const;

protected:
    MessageBase(const MessageBase&) = default;
    MessageBase& operator=(const MessageBase&) = default;

    // Texts indexed by identifier; null entries and identifiers outside the
    // table have no text.
    template <int N>
    static QString tableText(const char* const (&table)[N], int identifier)
    {
        if (identifier < 0 || identifier >= N || !table[identifier])
            return QString();
        return QString::fromLatin1(table[identifier]);
    }

private:
    int m_identifier = IDENTIFIER_UNSET;
    int m_type = TYPE_UNSPECIFIED;
};

// Builds one message per usable array entry, in order. Entries that are not
// objects, lack "MessageBase" or name no known message class are logged and
// skipped, so the result may be shorter than the array.
std::list<std::unique_ptr<MessageBase>> parseSerialisedMessages(const QJsonArray& array);
