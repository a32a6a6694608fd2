#pragma once
// What the process may still take from the system, and giving back what it
// no longer needs. The walks size their queues of open directories by it.

#include <optional>

namespace sizewalk {

// How many more descriptors (handles) the process may open; nothing when
// the system sets no useful bound (Windows counts handles in millions).
std::optional<long> SpareDescriptors();

// Hands memory that worker threads freed back to the system, where the
// allocator keeps it otherwise.
void ReleaseFreedMemory();

}  // namespace sizewalk
