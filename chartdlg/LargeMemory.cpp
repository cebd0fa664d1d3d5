#include "chartdlg/LargeMemory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace LargeMemory {

namespace {

constexpr size_t hugePage = size_t(2) << 20;

} // namespace

void* allocate(size_t bytes)
{
    // A huge page must start and end on its boundary.
    if (bytes > SIZE_MAX - hugePage)
        return nullptr;
    const size_t size = (bytes + hugePage - 1) / hugePage * hugePage;
    void* memory = std::aligned_alloc(hugePage, size == 0 ? hugePage : size);
#ifdef MADV_HUGEPAGE
    if (memory && size > 0)
        madvise(memory, size, MADV_HUGEPAGE);
#endif
    return memory;
}

void prefault(void* begin, size_t bytes)
{
#ifdef MADV_POPULATE_WRITE
    const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    const uintptr_t first = (uintptr_t(begin) + page - 1) & ~(page - 1);
    const uintptr_t end = (uintptr_t(begin) + bytes) & ~(page - 1);
    if (end > first)
        madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
    (void)begin;
    (void)bytes;
#endif
}

} // namespace LargeMemory
