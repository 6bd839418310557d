#pragma once

#include "datacoreclassnameelement.h"
#include "datacoredataelement.h"
#include "datacoreelementprivateinterface.h"
#include "datacorejsoninterface.h"
#include "datacorependingchanges.h"
#include "datacorestatuselement.h"

#include <QList>
#include <QMap>
#include <QStringList>

#include <array>
#include <list>
#include <utility>
#include <vector>

enum class DatacoreChangeState : qint32 {
    NoChange = 0,
    ChangedByDeserialisation = 1,
    // Only datacores in this state have something to send to the server.
    ChangedLocally = 2,
};

// One named datacore: data, class name and reasons for being invalid or
// inactive, optionally the root of a subtree of child datacores addressed by
// "/"-separated paths. It writes and reads the datacore JSON form and tracks
// changes, recalculating its status and calling its hooks when an element
// changes. It does not own its children, know about packets or the server, or
// validate anything itself: derived classes override the calculate...
// operations and the hooks.
//
// Lifetime: whoever creates datacores deletes them. A datacore that is
// destroyed leaves its parent's children map and the pending changes of its
// ancestors, and its children are left without a parent, so no pointer to a
// destroyed datacore survives in the tree in whatever order it is torn down.
//
// Not thread-safe: one thread only. The deserialising and propagating flags
// only hold back re-entrant propagation on that thread.
class DatacoreBase : public DatacoreJsonInterface, public DatacoreElementPrivateInterface
{
public:
    DatacoreBase(const QString& className, const QString& name, DatacoreBase* parent);
    DatacoreBase(const QString& className, const QString& name, DatacoreBase* parent, const QString& data);
    DatacoreBase(const QString& className, const QString& name, DatacoreBase* parent, const QStringList& data);
    DatacoreBase(const QString& name, DatacoreBase* parent);
    DatacoreBase(const QString& name, DatacoreBase* parent, const QString& data);
    DatacoreBase(const QString& name, DatacoreBase* parent, const QStringList& data);
    ~DatacoreBase() override;

    DatacoreBase(const DatacoreBase&) = delete;
    DatacoreBase& operator=(const DatacoreBase&) = delete;

    // A non-empty path addresses a descendant; unknown children and badly
    // formed paths fail without a message. The written object has one key,
    // this datacore's name.
    bool serialise(const QString& path, QJsonObject& target, bool dataOnly, bool recursive,
                   std::list<DatacoreJsonMessage>& messages) override;
    // source must have exactly one key, this datacore's name. Absent elements
    // and children stay as they are. Changes are propagated once, at the end,
    // also when a part fails (what was applied stays applied).
    bool deserialise(const QString& path, const QJsonObject& source, bool dataOnly,
                     std::list<DatacoreJsonMessage>& messages) override;

    // Splits at the first "/": head before it, tail after it (possibly empty).
    // A path that begins with "/" is rejected; one without "/" is all head.
    static bool splitPath(const QString& path, QString& head, QString& tail);

    const QString& name() const { return m_name; }
    QString path() const;
    const QString& className() const { return m_className.className(); }
    DatacoreBase* parentDatacore() const { return m_parent; }
    QList<DatacoreBase*> childDatacores() const { return m_children.values(); }

    QStringList data() const { return m_data.data(); }
    QString firstDataString() const;
    void setData(const QStringList& data);
    void setDataString(const QString& data);

    bool isValid() const { return m_validStatus.isEmpty(); }
    bool isActive() const { return m_activeStatus.isEmpty(); }
    bool reasonsForBeingInvalid(std::list<DatacoreValidStatusMessage>& out) const;
    bool reasonsForBeingInactive(std::list<DatacoreActiveStatusMessage>& out) const;
    bool allChildrenValid() const;

    DatacoreChangeState changeState() const { return m_changeState; }
    void resetChangeState() { m_changeState = DatacoreChangeState::NoChange; }
    void resetChangeStateRecursive();
    // Datacores of this subtree whose changes reached this datacore, each at
    // most once, in the order they arrived. Only a datacore without parent
    // keeps them; the others hand them on to their parent.
    std::vector<DatacoreBase*> pendingChanges() const { return m_pendingChanges.entries(); }

    // Recalculates the reasons for being invalid over the subtree (children
    // first), calls onDatacoreValid() on every valid datacore of it, and
    // leaves the whole subtree at NoChange.
    void initialise();
    void flushPendingChanges();

protected:
    // Given a copy of the current reasons, leaves the reasons that hold now.
    // The base versions empty the list: a plain datacore is valid and active.
    virtual void calculateReasonsForBeingInvalid(std::list<DatacoreValidStatusMessage>& reasons);
    virtual void calculateReasonsForBeingInactive(std::list<DatacoreActiveStatusMessage>& reasons);
    void elementModified() override;
    // Called after a propagation that leaves the datacore valid.
    virtual void onDatacoreValid();
    // Called after a propagation while the change state is not NoChange;
    // overrides reset the state once they have acted on it.
    virtual void onDatacoreChanged();
    void elementDeserialised() override;

private:
    DatacoreBase(const QString& className, const QString& name, DatacoreBase* parent, const QStringList& data,
                 DatacoreChangeState initialState);
    // changedOne, when given, is a change of a single datacore; changed, when
    // given, a child's pending changes, which are moved here.
    void propagateChanges(DatacoreBase* changedOne, DatacorePendingChanges* changed);
    void propagateOwnChange();
    void mergePendingChanges(DatacoreBase* changedOne, DatacorePendingChanges* changed);
    void leaveAncestorsPendingChanges();
    bool collectSubtree(std::vector<DatacoreBase*>& subtree, size_t limit);
    bool isInSubtreeOf(const DatacoreBase* root) const;
    void recalculateValidityRecursive();
    void notifyValidRecursive();
    DatacoreBase* child(const QString& path, QString& tail) const;
    template <typename Element>
    static bool deserialiseElement(Element& element, const QJsonObject& object);
    using ElementEntry = std::pair<QString, DatacoreJsonInterface*>;
    std::array<ElementEntry, 4> elements();

    DatacoreDataElement m_data;
    DatacoreValidStatusElement m_validStatus;
    DatacoreActiveStatusElement m_activeStatus;
    DatacoreClassnameElement m_className;
    DatacoreChangeState m_changeState;
    bool m_deserialising = false;
    bool m_propagating = false;
    DatacorePendingChanges m_pendingChanges;
    QMap<QString, DatacoreBase*> m_children;
    // Children whose name was already taken: not addressable, but they still
    // name this datacore as parent and must be detached when it goes.
    QList<DatacoreBase*> m_unlistedChildren;
    QString m_name;
    DatacoreBase* m_parent;
};
