#pragma once

#include <cstddef>

namespace qv::store::detail {

// Memory for the store's objects, their states and their value blocks. Those of one size are
// carved in the order they are made from blocks of their own, so that a loop over many objects (a
// sort, a filter, a merge) reads memory that lies side by side, which the processor fetches ahead,
// instead of objects scattered among everything else. Freed memory is kept for the next
// allocation of its size and never given back to the system. Thread-safe. Under the address
// sanitizer every allocation is the global one, which it checks.
void* allocateObject(std::size_t size);
void releaseObject(void* memory, std::size_t size);
// Bytes the pool holds from the global allocator without having handed them out: what a count
// of the heap in use takes away to count only what objects use.
std::size_t idlePoolBytes();

} // namespace qv::store::detail
