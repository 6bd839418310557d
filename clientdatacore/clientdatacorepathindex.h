#pragma once

#include <QString>

#include <vector>

class ClientDatacore;

// Finds a registered datacore by its full path. A hash table of its own rather
// than a QHash: one slot of 16 bytes per entry instead of a node per entry,
// which counts with hundreds of thousands of datacores. The key is the
// datacore's own fullPath(), so no second copy of any path is kept. Entries
// are only ever added, or all dropped at once.
class ClientDatacorePathIndex
{
public:
    ClientDatacore* find(const QString& path) const;
    // The slot for path: holding the datacore already registered for it, or
    // null, in which case the caller must store the new datacore in it before
    // the next call. reserve() beforehand keeps the table from growing.
    ClientDatacore*& findOrInsert(const QString& path);
    void reserve(int count);
    int count() const { return m_count; }
    std::vector<ClientDatacore*> datacores() const;
    void clear();

private:
    struct Slot
    {
        uint hash = 0;
        ClientDatacore* datacore = nullptr;
    };
    size_t slotFor(const QString& path, uint hash) const;
    void rehash(size_t slotCount);

    std::vector<Slot> m_slots;
    int m_count = 0;
};
