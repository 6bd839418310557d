#pragma once

#include <cstddef>
#include <memory>
#include <vector>

class DatacoreBase;

// The datacores whose changes reached a datacore: each at most once, in the
// order they arrived. One entry, what most datacores ever hold, takes no heap
// block at all. A long list gets an index from entry to position, so that
// adding, finding and removing an entry never walk the list: a parent of tens
// of thousands of changed children stays linear.
class DatacorePendingChanges
{
public:
    DatacorePendingChanges();
    ~DatacorePendingChanges();
    DatacorePendingChanges(const DatacorePendingChanges&) = delete;
    DatacorePendingChanges& operator=(const DatacorePendingChanges&) = delete;

    bool empty() const { return !m_single && !m_block; }
    size_t size() const;
    // Adds entry at the end unless it is held already.
    void append(DatacoreBase* entry);
    void remove(const DatacoreBase* entry);
    // Appends the entries that target does not hold yet, in order, and leaves
    // this list empty.
    void moveTo(DatacorePendingChanges& target);
    // In order.
    std::vector<DatacoreBase*> entries() const;

private:
    struct Block;

    // Either one entry here or, for more, all of them in the block.
    DatacoreBase* m_single = nullptr;
    std::unique_ptr<Block> m_block;
};
