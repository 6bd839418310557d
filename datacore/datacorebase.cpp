#include "datacorebase.h"

#include <algorithm>

namespace {

const QString DEFAULT_CLASS_NAME = QStringLiteral("DatacoreBase");
const QChar PATH_SEPARATOR = QLatin1Char('/');

} // namespace

DatacoreBase::DatacoreBase(const QString& className, const QString& name, DatacoreBase* parent,
                           const QStringList& data, DatacoreChangeState initialState)
    : m_data(this, data)
    , m_validStatus(this)
    , m_activeStatus(this)
    , m_className(this, className)
    , m_changeState(initialState)
    , m_name(name)
    , m_parent(parent)
{
    if (!m_parent)
        return;
    if (m_parent->m_children.contains(m_name))
        m_parent->m_unlistedChildren.append(this);
    else
        m_parent->m_children.insert(m_name, this);
}

DatacoreBase::DatacoreBase(const QString& className, const QString& name, DatacoreBase* parent)
    : DatacoreBase(className, name, parent, QStringList(), DatacoreChangeState::NoChange)
{
}

DatacoreBase::DatacoreBase(const QString& className, const QString& name, DatacoreBase* parent,
                           const QString& data)
    : DatacoreBase(className, name, parent, QStringList(data), DatacoreChangeState::ChangedLocally)
{
}

DatacoreBase::DatacoreBase(const QString& className, const QString& name, DatacoreBase* parent,
                           const QStringList& data)
    : DatacoreBase(className, name, parent, data, DatacoreChangeState::ChangedLocally)
{
}

DatacoreBase::DatacoreBase(const QString& name, DatacoreBase* parent)
    : DatacoreBase(DEFAULT_CLASS_NAME, name, parent)
{
}

DatacoreBase::DatacoreBase(const QString& name, DatacoreBase* parent, const QString& data)
    : DatacoreBase(DEFAULT_CLASS_NAME, name, parent, data)
{
}

DatacoreBase::DatacoreBase(const QString& name, DatacoreBase* parent, const QStringList& data)
    : DatacoreBase(DEFAULT_CLASS_NAME, name, parent, data)
{
}

DatacoreBase::~DatacoreBase()
{
    leaveAncestorsPendingChanges();
    if (m_parent) {
        const auto listed = m_parent->m_children.find(m_name);
        if (listed != m_parent->m_children.end() && listed.value() == this)
            m_parent->m_children.erase(listed);
        else
            m_parent->m_unlistedChildren.removeOne(this);
    }
    for (DatacoreBase* child : std::as_const(m_children))
        child->m_parent = nullptr;
    for (DatacoreBase* child : std::as_const(m_unlistedChildren))
        child->m_parent = nullptr;
}

bool DatacoreBase::splitPath(const QString& path, QString& head, QString& tail)
{
    const int separator = path.indexOf(PATH_SEPARATOR);
    if (separator < 0) {
        head = path;
        tail.clear();
        return true;
    }
    if (separator == 0)
        return false;
    head = path.left(separator);
    tail = path.mid(separator + 1);
    return true;
}

// Every datacore has the same four elements, so the map from key to element is
// a table made on demand, in the keys' order, rather than a map in each of the
// (hundreds of thousands of) datacores.
std::array<DatacoreBase::ElementEntry, 4> DatacoreBase::elements()
{
    return {{{DatacoreClassnameElement::key(), &m_className},
             {DatacoreDataElement::key(), &m_data},
             {DatacoreActiveStatusElement::key(), &m_activeStatus},
             {DatacoreValidStatusElement::key(), &m_validStatus}}};
}

DatacoreBase* DatacoreBase::child(const QString& path, QString& tail) const
{
    QString head;
    if (!splitPath(path, head, tail))
        return nullptr;
    return m_children.value(head, nullptr);
}

bool DatacoreBase::serialise(const QString& path, QJsonObject& target, bool dataOnly, bool recursive,
                             std::list<DatacoreJsonMessage>& messages)
{
    if (!path.isEmpty()) {
        QString tail;
        DatacoreBase* descendant = child(path, tail);
        return descendant && descendant->serialise(tail, target, dataOnly, recursive, messages);
    }
    QJsonObject object;
    bool succeeded = true;
    for (const ElementEntry& element : elements()) {
        if (!element.second->serialise(QString(), object, dataOnly, recursive, messages)) {
            succeeded = false;
            break;
        }
    }
    if (recursive && succeeded) {
        for (DatacoreBase* child : std::as_const(m_children)) {
            if (!child->serialise(QString(), object, dataOnly, true, messages)) {
                succeeded = false;
                break;
            }
        }
    }
    target.insert(m_name, object);
    return succeeded;
}

bool DatacoreBase::deserialise(const QString& path, const QJsonObject& source, bool dataOnly,
                               std::list<DatacoreJsonMessage>& messages)
{
    if (!path.isEmpty()) {
        QString tail;
        DatacoreBase* descendant = child(path, tail);
        return descendant && descendant->deserialise(tail, source, dataOnly, messages);
    }
    if (source.size() > 1)
        return false;
    const auto own = source.constFind(m_name);
    if (own == source.constEnd())
        return false;
    const QJsonObject object = own.value().toObject();

    // Element callbacks are gathered while the flag is set and flushed once.
    const bool wasDeserialising = m_deserialising;
    m_deserialising = true;
    // Each key is looked up once, here, and the element given its value; in
    // element-map order. Only the data element is read with dataOnly.
    bool succeeded = (dataOnly || deserialiseElement(m_className, object))
        && deserialiseElement(m_data, object)
        && (dataOnly || deserialiseElement(m_activeStatus, object))
        && (dataOnly || deserialiseElement(m_validStatus, object));
    for (auto child = m_children.cbegin(); succeeded && child != m_children.cend(); ++child) {
        const auto value = object.constFind(child.key());
        if (value == object.constEnd())
            continue;
        QJsonObject childSource;
        childSource.insert(child.key(), value.value());
        succeeded = child.value()->deserialise(QString(), childSource, dataOnly, messages);
    }
    m_deserialising = wasDeserialising;
    flushPendingChanges();
    return succeeded;
}

template <typename Element>
bool DatacoreBase::deserialiseElement(Element& element, const QJsonObject& object)
{
    const auto value = object.constFind(Element::key());
    return value == object.constEnd() || element.deserialiseValue(value.value());
}

QString DatacoreBase::path() const
{
    return m_parent ? m_parent->path() + PATH_SEPARATOR + m_name : m_name;
}

QString DatacoreBase::firstDataString() const
{
    const QStringList& items = m_data.data();
    return items.isEmpty() ? QString() : items.first();
}

void DatacoreBase::setData(const QStringList& data)
{
    m_data.setData(data);
}

void DatacoreBase::setDataString(const QString& data)
{
    m_data.setData(QStringList(data));
}

bool DatacoreBase::reasonsForBeingInvalid(std::list<DatacoreValidStatusMessage>& out) const
{
    out = m_validStatus.reasons();
    return isValid();
}

bool DatacoreBase::reasonsForBeingInactive(std::list<DatacoreActiveStatusMessage>& out) const
{
    out = m_activeStatus.reasons();
    return isActive();
}

bool DatacoreBase::allChildrenValid() const
{
    return std::all_of(m_children.cbegin(), m_children.cend(),
                       [](const DatacoreBase* child) { return child->isValid() && child->allChildrenValid(); });
}

void DatacoreBase::resetChangeStateRecursive()
{
    for (DatacoreBase* child : std::as_const(m_children))
        child->resetChangeStateRecursive();
    resetChangeState();
}

void DatacoreBase::initialise()
{
    recalculateValidityRecursive();
    notifyValidRecursive();
    resetChangeStateRecursive();
}

void DatacoreBase::recalculateValidityRecursive()
{
    for (DatacoreBase* child : std::as_const(m_children))
        child->recalculateValidityRecursive();
    std::list<DatacoreValidStatusMessage> reasons = m_validStatus.reasons();
    calculateReasonsForBeingInvalid(reasons);
    m_validStatus.setReasons(reasons);
}

void DatacoreBase::notifyValidRecursive()
{
    for (DatacoreBase* child : std::as_const(m_children))
        child->notifyValidRecursive();
    if (isValid())
        onDatacoreValid();
}

void DatacoreBase::flushPendingChanges()
{
    propagateChanges(nullptr, nullptr);
}

void DatacoreBase::calculateReasonsForBeingInvalid(std::list<DatacoreValidStatusMessage>& reasons)
{
    reasons.clear();
}

void DatacoreBase::calculateReasonsForBeingInactive(std::list<DatacoreActiveStatusMessage>& reasons)
{
    reasons.clear();
}

void DatacoreBase::onDatacoreValid()
{
}

void DatacoreBase::onDatacoreChanged()
{
}

void DatacoreBase::elementModified()
{
    m_changeState = DatacoreChangeState::ChangedLocally;
    propagateOwnChange();
}

void DatacoreBase::elementDeserialised()
{
    if (m_changeState == DatacoreChangeState::NoChange)
        m_changeState = DatacoreChangeState::ChangedByDeserialisation;
    propagateOwnChange();
}

void DatacoreBase::propagateOwnChange()
{
    propagateChanges(this, nullptr);
}

void DatacoreBase::propagateChanges(DatacoreBase* changedOne, DatacorePendingChanges* changed)
{
    if (m_deserialising || m_propagating) {
        mergePendingChanges(changedOne, changed);
        return;
    }
    if (!changedOne && (!changed || changed->empty()) && m_pendingChanges.empty())
        return;

    // Storing recalculated reasons calls back into elementModified(); the flag
    // turns that into a pending entry instead of a second recalculation.
    m_propagating = true;
    std::list<DatacoreValidStatusMessage> invalid = m_validStatus.reasons();
    calculateReasonsForBeingInvalid(invalid);
    m_validStatus.setReasons(invalid);
    std::list<DatacoreActiveStatusMessage> inactive = m_activeStatus.reasons();
    calculateReasonsForBeingInactive(inactive);
    m_activeStatus.setReasons(inactive);
    m_propagating = false;

    if (isValid())
        onDatacoreValid();
    mergePendingChanges(changedOne, changed);
    if (m_changeState != DatacoreChangeState::NoChange)
        onDatacoreChanged();
    if (m_parent)
        m_parent->propagateChanges(nullptr, &m_pendingChanges);
}

void DatacoreBase::mergePendingChanges(DatacoreBase* changedOne, DatacorePendingChanges* changed)
{
    if (changedOne)
        m_pendingChanges.append(changedOne);
    if (changed)
        changed->moveTo(m_pendingChanges);
}

void DatacoreBase::leaveAncestorsPendingChanges()
{
    size_t longest = 0;
    for (const DatacoreBase* ancestor = m_parent; ancestor; ancestor = ancestor->m_parent)
        longest = std::max(longest, ancestor->m_pendingChanges.size());
    if (longest == 0)
        return;
    if (m_children.isEmpty() && m_unlistedChildren.isEmpty()) {
        for (DatacoreBase* ancestor = m_parent; ancestor; ancestor = ancestor->m_parent)
            ancestor->m_pendingChanges.remove(this);
        return;
    }
    // Each entry of the subtree is taken out by its own look-up, unless the
    // subtree is larger than the lists: then the lists are searched instead.
    std::vector<DatacoreBase*> subtree;
    const bool wholeSubtree = collectSubtree(subtree, longest);
    for (DatacoreBase* ancestor = m_parent; ancestor; ancestor = ancestor->m_parent) {
        DatacorePendingChanges& pending = ancestor->m_pendingChanges;
        if (pending.empty())
            continue;
        if (wholeSubtree && subtree.size() <= pending.size()) {
            for (const DatacoreBase* datacore : subtree)
                pending.remove(datacore);
            continue;
        }
        for (const DatacoreBase* entry : pending.entries()) {
            if (entry->isInSubtreeOf(this))
                pending.remove(entry);
        }
    }
}

// Stops, returning false, once more than limit datacores are collected.
bool DatacoreBase::collectSubtree(std::vector<DatacoreBase*>& subtree, size_t limit)
{
    subtree.push_back(this);
    for (size_t next = 0; next < subtree.size(); ++next) {
        if (subtree.size() > limit)
            return false;
        const DatacoreBase* datacore = subtree[next];
        for (DatacoreBase* child : datacore->m_children)
            subtree.push_back(child);
        for (DatacoreBase* child : datacore->m_unlistedChildren)
            subtree.push_back(child);
    }
    return subtree.size() <= limit;
}

bool DatacoreBase::isInSubtreeOf(const DatacoreBase* root) const
{
    for (const DatacoreBase* datacore = this; datacore; datacore = datacore->m_parent) {
        if (datacore == root)
            return true;
    }
    return false;
}
