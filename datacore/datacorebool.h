#pragma once

#include "datacorebase.h"

#include <QList>

#include <deque>

// A datacore holding one boolean or a list of them as the texts "true" and
// "false". It converts at the edges and reports any other stored text
// (reason 10) or no item at all (reason 21) as invalid. The constructors do
// not validate; initialise() or the next change does.
class DatacoreBool : public DatacoreBase
{
public:
    DatacoreBool(const QString& className, const QString& name, DatacoreBase* parent, bool initialValue);
    DatacoreBool(const QString& name, DatacoreBase* parent, bool initialValue);
    DatacoreBool(const QString& className, const QString& name, DatacoreBase* parent);
    DatacoreBool(const QString& name, DatacoreBase* parent);
    DatacoreBool(const QString& name, DatacoreBase* parent, const QList<bool>& initialValues);

    // False when there is no item or the first is anything but "true".
    bool value() const;
    std::deque<bool> values() const;
    void setValue(bool value);
    void setValues(const QList<bool>& values);

protected:
    void calculateReasonsForBeingInvalid(std::list<DatacoreValidStatusMessage>& reasons) override;
};
