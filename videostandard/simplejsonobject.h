#pragma once

#include <QJsonObject>
#include <QString>

// A status record that writes its fields into a JSON object under fixed keys
// and reads them back. It does not parse or produce JSON text, and reading is
// lenient: a missing or mistyped key gives the field's empty value.
class SimpleJsonObject
{
public:
    virtual QString name() const = 0;
    virtual void write(QJsonObject& object) const = 0;
    virtual void read(const QJsonObject& object) = 0;
    // Declared after the operations on purpose: declaration order is the
    // virtual table order, which code built against these records relies on.
    virtual ~SimpleJsonObject();

protected:
    SimpleJsonObject() = default;
    SimpleJsonObject(const SimpleJsonObject&) = default;
    SimpleJsonObject& operator=(const SimpleJsonObject&) = default;
};
