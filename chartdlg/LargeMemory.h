#ifndef LARGEMEMORY_H
#define LARGEMEMORY_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>

// Memory for a large chart, taken in huge pages where the system gives them: fetching fresh
// memory page by page costs most of a large file load. The huge pages and the prefault are only
// optimisations; where the system refuses them the pages come in one fault at a time.
namespace LargeMemory {

struct Free
{
    void operator()(void* p) const { std::free(p); }
};

// Uninitialised; null when there is no memory. Nothing becomes resident here.
void* allocate(size_t bytes);
// Faults the pages in one call, ahead of their first use.
void prefault(void* begin, size_t bytes);

template <typename T>
std::unique_ptr<T[], Free> array(size_t count)
{
    void* memory = count <= SIZE_MAX / sizeof(T) ? allocate(count * sizeof(T)) : nullptr;
    if (!memory)
        throw std::bad_alloc();
    prefault(memory, count * sizeof(T));
    return std::unique_ptr<T[], Free>(static_cast<T*>(memory));
}

} // namespace LargeMemory

#endif // LARGEMEMORY_H
