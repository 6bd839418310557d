#include "datacorebool.h"

#include <algorithm>

namespace {

const QString CLASS_NAME = QStringLiteral("DatacoreBool");
const QString TRUE_TEXT = QStringLiteral("true");
const QString FALSE_TEXT = QStringLiteral("false");

QString toText(bool value)
{
    return value ? TRUE_TEXT : FALSE_TEXT;
}

QStringList toTexts(const QList<bool>& values)
{
    QStringList texts;
    texts.reserve(values.size());
    for (bool value : values)
        texts.append(toText(value));
    return texts;
}

} // namespace

DatacoreBool::DatacoreBool(const QString& className, const QString& name, DatacoreBase* parent, bool initialValue)
    : DatacoreBase(className, name, parent, toText(initialValue))
{
}

DatacoreBool::DatacoreBool(const QString& name, DatacoreBase* parent, bool initialValue)
    : DatacoreBool(CLASS_NAME, name, parent, initialValue)
{
}

DatacoreBool::DatacoreBool(const QString& className, const QString& name, DatacoreBase* parent)
    : DatacoreBool(className, name, parent, false)
{
}

DatacoreBool::DatacoreBool(const QString& name, DatacoreBase* parent)
    : DatacoreBool(CLASS_NAME, name, parent, false)
{
}

DatacoreBool::DatacoreBool(const QString& name, DatacoreBase* parent, const QList<bool>& initialValues)
    : DatacoreBase(CLASS_NAME, name, parent, toTexts(initialValues))
{
}

bool DatacoreBool::value() const
{
    return firstDataString() == TRUE_TEXT;
}

std::deque<bool> DatacoreBool::values() const
{
    std::deque<bool> result;
    for (const QString& item : data())
        result.push_back(item == TRUE_TEXT);
    return result;
}

void DatacoreBool::setValue(bool value)
{
    setDataString(toText(value));
}

void DatacoreBool::setValues(const QList<bool>& values)
{
    setData(toTexts(values));
}

void DatacoreBool::calculateReasonsForBeingInvalid(std::list<DatacoreValidStatusMessage>& reasons)
{
    reasons.clear();
    const QStringList items = data();
    const bool allLegal = std::all_of(items.cbegin(), items.cend(), [](const QString& item) {
        return item == TRUE_TEXT || item == FALSE_TEXT;
    });
    if (!allLegal)
        reasons.emplace_back(MessageBase::TYPE_ERROR, DatacoreValidStatusMessage::NOT_A_BOOLEAN);
    if (items.isEmpty())
        reasons.emplace_back(MessageBase::TYPE_ERROR, DatacoreValidStatusMessage::TOO_FEW_ITEMS);
}
