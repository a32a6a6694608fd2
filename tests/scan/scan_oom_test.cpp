// Allocation failure in the middle of a scan. Its own executable, because it
// replaces the global operator new.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "scan/dir_scanner.h"
#include "tests/temp_tree.h"

namespace {
std::atomic<long> g_allocationsLeft{-1};  // -1: never fail; scans allocate on several threads
}

void* operator new(std::size_t n) {
    for (long left = g_allocationsLeft.load(); left >= 0;) {
        if (left == 0) throw std::bad_alloc();
        if (g_allocationsLeft.compare_exchange_weak(left, left - 1)) break;
    }
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return ::operator new(n); }
// These are the replacements of the pair above: malloc and free match, which
// GCC cannot see through the replacement.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace sizewalk {
namespace {

TEST(DirScannerOutOfMemory, FailureAtAnyPointLeavesNothingToServe) {
    test::TempTree t;
    t.Dir("a");
    t.Dir("a/b");
    for (int i = 0; i < 40; ++i) t.File(test::Numbered("a/b/f", i), 10);
    t.File("top", 1);

    for (int threads : {1, 8}) {
        SCOPED_TRACE(testing::Message() << threads << " threads");
        CDirScanner s;
        s.SetThreadCount(threads);
        s.Scan(t.Root());
        const std::size_t full = s.GetCount();
        ASSERT_EQ(full, 44u);

        int failures = 0;
        for (long budget = 0; budget < 400; ++budget) {
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
        EXPECT_EQ(s.GetAt(0).m_nSize, 401.0);
    }
}

}  // namespace
}  // namespace sizewalk
