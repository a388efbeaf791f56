// The key guard: which blocks it accepts, its overlap-safe moves and XOR pass with clipping,
// and that its copy is zeroed before it goes back to the heap.
#include "PayloadTestSupport.h"

#include "payload/Guard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <new>

// The guard allocates its copy with new[]; this test program routes new[]/delete[] through
// malloc/free so that it can look at a watched block at the moment it is handed back.
namespace {
const std::uint8_t* g_watched = nullptr;
int g_watchedFrees = 0;
bool g_watchedWasZero = false;
}  // namespace

void* operator new[](std::size_t size) {
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size == 0 ? 1 : size);
}

void operator delete[](void* p) noexcept {
    if (p != nullptr && p == g_watched) {
        const auto* bytes = static_cast<const std::uint8_t*>(p);
        g_watchedWasZero = true;
        for (int i = 0; i < CGuard::kBlockLength; ++i)
            g_watchedWasZero = g_watchedWasZero && bytes[i] == 0;
        ++g_watchedFrees;
        g_watched = nullptr;
    }
    std::free(p);
}

void operator delete[](void* p, std::size_t) noexcept {
    operator delete[](p);
}

namespace {

class GuardProbe : public CGuard {
public:
    using CGuard::Copy;
    using CGuard::Move;
    using CGuard::XorPass;

    std::vector<std::uint8_t> Snapshot() const {
        return Copy() ? std::vector<std::uint8_t>(Copy(), Copy() + kBlockLength)
                      : std::vector<std::uint8_t>();
    }

    // Replaces the copy's bytes with 0, 1, 2, ... so that moves are easy to follow.
    void FillCopyWithCounter() {
        for (int i = 0; i < kBlockLength; ++i) Copy()[i] = static_cast<std::uint8_t>(i * 3 + 1);
    }
};

void Watch(const std::uint8_t* copy) {
    g_watched = copy;
    g_watchedFrees = 0;
    g_watchedWasZero = false;
}

class Guard : public ::testing::Test {
public:
    void SetUp() override { block = TestKeyBlock(); }
    std::vector<std::uint8_t> block;
};

TEST_F(Guard, RefusesBlocksOfAnyOtherLengthAndKeepsNoCopy) {
    const std::vector<std::uint8_t> large = TestKeyBlock(CGuard::kBlockLength + 1);
    for (std::uint32_t length : {0u, 967u, 969u, 495u}) {
        GuardProbe guard;
        ASSERT_TRUE(guard.SetKeyBlock(block.data(), CGuard::kBlockLength));
        EXPECT_FALSE(guard.SetKeyBlock(large.data(), length)) << length;
        EXPECT_FALSE(guard.HasKey()) << length;
    }
    GuardProbe guard;
    EXPECT_FALSE(guard.SetKeyBlock(nullptr, CGuard::kBlockLength));
    EXPECT_FALSE(guard.HasKey());
}

TEST_F(Guard, SecondSetKeyBlockWipesTheFirstCopyAndGivesTheSameResult) {
    GuardProbe once;
    ASSERT_TRUE(once.SetKeyBlock(block.data(), CGuard::kBlockLength));

    GuardProbe twice;
    ASSERT_TRUE(twice.SetKeyBlock(block.data(), CGuard::kBlockLength));
    Watch(twice.Copy());
    ASSERT_TRUE(twice.SetKeyBlock(block.data(), CGuard::kBlockLength));
    EXPECT_EQ(g_watchedFrees, 1);
    EXPECT_TRUE(g_watchedWasZero);
    EXPECT_EQ(twice.Snapshot(), once.Snapshot());

    // the stored block is not the key material as such: the scrambling changed it
    EXPECT_NE(once.Snapshot(), block);
}

TEST_F(Guard, WipeZeroesTheCopyBeforeFreeingItAndUnpackFailsAfterwards) {
    GuardProbe guard;
    ASSERT_TRUE(guard.SetKeyBlock(block.data(), CGuard::kBlockLength));
    const std::vector<std::uint8_t> stored = SealText(guard, Bytes("licence text"));
    ASSERT_FALSE(stored.empty());

    Watch(guard.Copy());
    guard.Wipe();
    EXPECT_EQ(g_watchedFrees, 1);
    EXPECT_TRUE(g_watchedWasZero);
    EXPECT_FALSE(guard.HasKey());

    std::uint32_t size = static_cast<std::uint32_t>(stored.size());
    EXPECT_EQ(guard.Unpack(stored.data(), size), nullptr);
    EXPECT_EQ(size, stored.size());

    guard.Wipe();  // nothing held: nothing happens
    EXPECT_FALSE(guard.HasKey());
}

TEST_F(Guard, DestructorWipesTheCopy) {
    auto* guard = new GuardProbe;
    ASSERT_TRUE(guard->SetKeyBlock(block.data(), CGuard::kBlockLength));
    Watch(guard->Copy());
    delete guard;
    EXPECT_EQ(g_watchedFrees, 1);
    EXPECT_TRUE(g_watchedWasZero);
}

struct MoveCase {
    const char* name;
    int destination, source, count;
    int expectedCount;  // bytes actually moved; 0 for no change
};

TEST_F(Guard, MovesAreOverlapSafeClipAtTheEndAndIgnoreOffsetsOutside) {
    const int n = CGuard::kBlockLength;
    const MoveCase cases[] = {
        {"forward, apart", 10, 500, 20, 20},
        {"forward, overlapping", 100, 105, 50, 50},
        {"backward, overlapping", 105, 100, 50, 50},
        {"forward, count past the end is cut at the source's end", 0, n - 10, 40, 10},
        {"backward, count past the end is cut at the destination's end", n - 5, 3, 40, 5},
        {"destination equal to source", 50, 50, 10, 10},
        {"source below the block", 10, -1, 5, 0},
        {"source at the block length", 10, n, 5, 0},
        {"destination below the block", -3, 10, 5, 0},
        {"destination at the block length", n, 10, 5, 0},
    };
    for (const MoveCase& c : cases) {
        SCOPED_TRACE(c.name);
        GuardProbe guard;
        ASSERT_TRUE(guard.SetKeyBlock(block.data(), CGuard::kBlockLength));
        guard.FillCopyWithCounter();
        std::vector<std::uint8_t> expected = guard.Snapshot();
        if (c.expectedCount > 0)
            std::memmove(expected.data() + c.destination, expected.data() + c.source,
                         c.expectedCount);
        guard.Move(c.destination, c.source, c.count);
        EXPECT_EQ(guard.Snapshot(), expected);
    }
}

struct XorCase {
    const char* name;
    int start, count, position;
    int expectedCount;  // bytes changed; 0 for no change
};

TEST_F(Guard, XorPassReadsItsValueOnceClipsAtTheEndAndIgnoresOffsetsOutside) {
    const int n = CGuard::kBlockLength;
    const XorCase cases[] = {
        {"value outside the range", 10, 20, 700, 20},
        {"value inside the range: read before the pass changes it", 10, 20, 15, 20},
        {"count past the end is cut", n - 8, 100, 3, 8},
        {"start outside", n, 10, 3, 0},
        {"start negative", -1, 10, 3, 0},
        {"position outside", 10, 10, n, 0},
        {"position negative", 10, 10, -2, 0},
    };
    for (const XorCase& c : cases) {
        SCOPED_TRACE(c.name);
        GuardProbe guard;
        ASSERT_TRUE(guard.SetKeyBlock(block.data(), CGuard::kBlockLength));
        guard.FillCopyWithCounter();
        std::vector<std::uint8_t> expected = guard.Snapshot();
        if (c.expectedCount > 0) {
            const std::uint8_t value = expected[c.position];
            for (int i = 0; i < c.expectedCount; ++i) expected[c.start + i] ^= value;
        }
        guard.XorPass(c.start, c.count, c.position);
        EXPECT_EQ(guard.Snapshot(), expected);
    }
}

TEST_F(Guard, EncipheredBlocksComeBackUnderTheSameBlockOnly) {
    CGuard a;
    CGuard b;
    ASSERT_TRUE(a.SetKeyBlock(block.data(), CGuard::kBlockLength));
    const std::vector<std::uint8_t> other = TestKeyBlock(CGuard::kBlockLength, 5);
    ASSERT_TRUE(b.SetKeyBlock(other.data(), CGuard::kBlockLength));
    std::vector<std::uint8_t> data = Bytes("sixteen bytes!!!");
    const std::vector<std::uint8_t> original = data;
    ASSERT_TRUE(a.EncipherBlocks(data.data(), 16));
    EXPECT_NE(data, original);
    std::vector<std::uint8_t> viaB = data;
    ASSERT_TRUE(b.DecipherBlocks(viaB.data(), 16));
    EXPECT_NE(viaB, original);
    ASSERT_TRUE(a.DecipherBlocks(data.data(), 16));
    EXPECT_EQ(data, original);
    EXPECT_FALSE(a.EncipherBlocks(data.data(), 12));  // whole blocks only
}

}  // namespace
