#include "clientdatacorepathindex.h"

#include "clientdatacore.h"

#include <QHash>

namespace {

// Open addressing with linear probing stays short up to this fill.
constexpr size_t MAX_FILL_PERCENT = 80;
constexpr size_t MIN_SLOTS = 16;

// Seeded per process as QHash is, so that paths chosen to collide cannot be
// prepared in advance.
uint pathHash(const QString& path)
{
    static const uint seed = uint(qGlobalQHashSeed());
    return qHash(path, seed);
}

size_t slotsFor(size_t count)
{
    size_t slotCount = MIN_SLOTS;
    while (slotCount * MAX_FILL_PERCENT / 100 < count)
        slotCount *= 2;
    return slotCount;
}

} // namespace

ClientDatacore* ClientDatacorePathIndex::find(const QString& path) const
{
    if (m_count == 0)
        return nullptr;
    return m_slots[slotFor(path, pathHash(path))].datacore;
}

ClientDatacore*& ClientDatacorePathIndex::findOrInsert(const QString& path)
{
    if (size_t(m_count) + 1 > m_slots.size() * MAX_FILL_PERCENT / 100)
        rehash(slotsFor(size_t(m_count) + 1));
    const uint hash = pathHash(path);
    Slot& slot = m_slots[slotFor(path, hash)];
    if (!slot.datacore) {
        slot.hash = hash;
        ++m_count;
    }
    return slot.datacore;
}

void ClientDatacorePathIndex::reserve(int count)
{
    if (count > 0 && slotsFor(size_t(count)) > m_slots.size())
        rehash(slotsFor(size_t(count)));
}

std::vector<ClientDatacore*> ClientDatacorePathIndex::datacores() const
{
    std::vector<ClientDatacore*> all;
    all.reserve(size_t(m_count));
    for (const Slot& slot : m_slots) {
        if (slot.datacore)
            all.push_back(slot.datacore);
    }
    return all;
}

void ClientDatacorePathIndex::clear()
{
    std::vector<Slot>().swap(m_slots);
    m_count = 0;
}

size_t ClientDatacorePathIndex::slotFor(const QString& path, uint hash) const
{
    const size_t mask = m_slots.size() - 1;
    for (size_t index = hash & mask;; index = (index + 1) & mask) {
        const Slot& slot = m_slots[index];
        if (!slot.datacore || (slot.hash == hash && slot.datacore->fullPath() == path))
            return index;
    }
}

void ClientDatacorePathIndex::rehash(size_t slotCount)
{
    std::vector<Slot> old(slotCount);
    old.swap(m_slots);
    const size_t mask = m_slots.size() - 1;
    for (const Slot& slot : old) {
        if (!slot.datacore)
            continue;
        size_t index = slot.hash & mask;
        while (m_slots[index].datacore)
            index = (index + 1) & mask;
        m_slots[index] = slot;
    }
}
