#include "datacorependingchanges.h"

#include <QtGlobal>

#include <cstdint>

namespace {

// Up to this many entries a scan is cheaper than keeping an index.
constexpr size_t SCAN_LIMIT = 8;

size_t pointerHash(const DatacoreBase* entry)
{
    // Heap addresses share their low bits; the multiplication spreads the
    // others over the bits that pick the slot.
    return size_t((uint64_t(quintptr(entry)) * 0x9E3779B97F4A7C15ull) >> 32);
}

} // namespace

struct DatacorePendingChanges::Block
{
    struct Slot
    {
        const DatacoreBase* entry = nullptr;
        size_t position = 0;
    };

    // Arrival order. Once there is an index, a removed entry leaves a null
    // behind until the nulls outnumber the entries.
    std::vector<DatacoreBase*> entries;
    size_t live = 0;
    // Open addressing with linear probing, at most half full. A removed
    // entry keeps its slot, whose position then holds a null (positions are
    // not reused before the next rebuild).
    std::vector<Slot> index;
    size_t keys = 0;

    size_t slotFor(const DatacoreBase* entry) const
    {
        const size_t mask = index.size() - 1;
        for (size_t i = pointerHash(entry) & mask;; i = (i + 1) & mask) {
            if (index[i].entry == entry || !index[i].entry)
                return i;
        }
    }

    bool find(const DatacoreBase* entry, size_t& position) const
    {
        if (index.empty()) {
            for (size_t i = 0; i < entries.size(); ++i) {
                if (entries[i] == entry) {
                    position = i;
                    return true;
                }
            }
            return false;
        }
        const Slot& slot = index[slotFor(entry)];
        if (slot.entry != entry || entries[slot.position] != entry)
            return false;
        position = slot.position;
        return true;
    }

    void insertKey(const DatacoreBase* entry, size_t position)
    {
        Slot& slot = index[slotFor(entry)];
        if (!slot.entry) {
            slot.entry = entry;
            ++keys;
        }
        slot.position = position;
    }

    // Drops the nulls and makes the index anew, or none for a short list.
    void rebuild()
    {
        std::vector<DatacoreBase*> kept;
        kept.reserve(live);
        for (DatacoreBase* entry : entries) {
            if (entry)
                kept.push_back(entry);
        }
        entries.swap(kept);
        std::vector<Slot>().swap(index);
        keys = 0;
        if (entries.size() <= SCAN_LIMIT)
            return;
        // A third full at most, so that a rebuild is followed by many adds.
        size_t slotCount = 16;
        while (slotCount < 3 * entries.size())
            slotCount *= 2;
        index.resize(slotCount);
        for (size_t i = 0; i < entries.size(); ++i)
            insertKey(entries[i], i);
    }

    void add(DatacoreBase* entry)
    {
        entries.push_back(entry);
        ++live;
        if (index.empty()) {
            if (entries.size() > SCAN_LIMIT)
                rebuild();
            return;
        }
        if (2 * (keys + 1) > index.size())
            rebuild();
        else
            insertKey(entry, entries.size() - 1);
    }

    void erase(size_t position)
    {
        --live;
        if (index.empty()) {
            entries.erase(entries.begin() + std::ptrdiff_t(position));
            return;
        }
        entries[position] = nullptr;
        if (entries.size() - live > live)
            rebuild();
    }
};

DatacorePendingChanges::DatacorePendingChanges() = default;

DatacorePendingChanges::~DatacorePendingChanges() = default;

size_t DatacorePendingChanges::size() const
{
    if (m_block)
        return m_block->live;
    return m_single ? 1 : 0;
}

void DatacorePendingChanges::append(DatacoreBase* entry)
{
    if (!entry)
        return;
    if (!m_block) {
        if (!m_single) {
            m_single = entry;
        } else if (m_single != entry) {
            m_block.reset(new Block);
            m_block->entries = {m_single, entry};
            m_block->live = 2;
            m_single = nullptr;
        }
        return;
    }
    size_t position = 0;
    if (!m_block->find(entry, position))
        m_block->add(entry);
}

void DatacorePendingChanges::remove(const DatacoreBase* entry)
{
    if (!m_block) {
        if (m_single == entry)
            m_single = nullptr;
        return;
    }
    size_t position = 0;
    if (!m_block->find(entry, position))
        return;
    if (m_block->live == 1)
        m_block.reset();
    else
        m_block->erase(position);
}

void DatacorePendingChanges::moveTo(DatacorePendingChanges& target)
{
    if (&target == this)
        return;
    if (!m_block) {
        DatacoreBase* const entry = m_single;
        m_single = nullptr;
        target.append(entry);
        return;
    }
    const std::unique_ptr<Block> block = std::move(m_block);
    for (DatacoreBase* entry : block->entries)
        target.append(entry);
}

std::vector<DatacoreBase*> DatacorePendingChanges::entries() const
{
    if (!m_block)
        return m_single ? std::vector<DatacoreBase*>{m_single} : std::vector<DatacoreBase*>();
    std::vector<DatacoreBase*> all;
    all.reserve(m_block->live);
    for (DatacoreBase* entry : m_block->entries) {
        if (entry)
            all.push_back(entry);
    }
    return all;
}
