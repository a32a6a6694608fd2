#include "platform/process_limits.h"

namespace sizewalk {

std::optional<long> SpareDescriptors() { return std::nullopt; }

// The system heap gives back freed blocks by itself.
void ReleaseFreedMemory() {}

}  // namespace sizewalk
