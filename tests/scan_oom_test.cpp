// Allocation failure in the middle of a scan. Its own executable, because it
// replaces the global operator new.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "scan/dir_scanner.h"
#include "temp_tree.h"

namespace {
long g_allocationsLeft = -1;  // -1: never fail
}

void* operator new(std::size_t n) {
    if (g_allocationsLeft == 0) throw std::bad_alloc();
    if (g_allocationsLeft > 0) --g_allocationsLeft;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return ::operator new(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace sizewalk {
namespace {

TEST(DirScannerOutOfMemory, FailureAtAnyPointLeavesNothingToServe) {
    test::TempTree t;
    t.Dir("a");
    t.Dir("a/b");
    for (int i = 0; i < 40; ++i) t.File("a/b/f" + std::to_string(i), 10);
    t.File("top", 1);

    CDirScanner s;
    s.Scan(t.Root());
    const std::size_t full = s.GetCount();
    ASSERT_EQ(full, 44u);

    int failures = 0;
    for (long budget = 0; budget < 200; ++budget) {
        g_allocationsLeft = budget;
        bool threw = false;
        try {
            s.Scan(t.Root());
        } catch (const std::bad_alloc&) {
            threw = true;
        }
        g_allocationsLeft = -1;
        if (!threw) {
            EXPECT_EQ(s.GetCount(), full);  // enough memory: a whole, normal scan
            break;
        }
        ++failures;
        EXPECT_EQ(s.GetCount(), 0u) << "budget " << budget;
        s.Rewind(0);
        EXPECT_EQ(s.GetNext(), nullptr) << "budget " << budget;
    }
    EXPECT_GT(failures, 3);

    s.Scan(t.Root());  // and the scanner recovers
    EXPECT_EQ(s.GetCount(), full);
    EXPECT_EQ(s.GetAt(0).m_dTotal, 401.0);
}

}  // namespace
}  // namespace sizewalk
