#include "scan/list_builder.h"

namespace sizewalk {

bool WalkParallel(std::string_view startPath, CDirScanner::Builder& list, int threads) {
    (void)threads;
    return WalkSequential(startPath, list);
}

}  // namespace sizewalk
