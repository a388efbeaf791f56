// The choice between the native and the wide table tree in 32-bit layout libraries.
#include <gtest/gtest.h>

extern "C" {
#include "WowChoice.h"
}

namespace {

struct ThreadBlock {
    unsigned gdiBatchCount;
    unsigned wowTebOffset;
    int reads;
};

unsigned ReadField(int which, void* context) {
    auto* block = static_cast<ThreadBlock*>(context);
    ++block->reads;
    return which == KB_PROBE_WOW_TEB_OFFSET ? block->wowTebOffset : block->gdiBatchCount;
}

constexpr int kBoth = KB_PROBE_WOW_TEB_OFFSET | KB_PROBE_GDI_BATCH_COUNT;

struct Case {
    const char* name;
    unsigned cs;
    int probes;
    ThreadBlock block;
    int wide;
    bool readsMemory;
};

const Case kCases[] = {
    // The system's own call on 32-bit Windows runs in kernel mode: native, and nothing is read
    // even when the thread-block values (here: whatever lies at FS there) look like WOW64.
    {"KernelMode", 0x08, kBoth, {0x7EFDB000, 0xFFFFE000, 0}, 0, false},
    {"KernelModeOtherSelector", 0x10, KB_PROBE_GDI_BATCH_COUNT, {0x7EFDB000, 0, 0}, 0, false},
    // User mode on 32-bit Windows: the flat user code selector, nothing read either.
    {"Native32UserMode", 0x1B, kBoth, {0x7EFDB000, 0xFFFFE000, 0}, 0, false},
    // WOW64 on Windows 8 and later: the offset field.
    {"Wow64Windows8", 0x23, kBoth, {0, 0xFFFFE000, 0}, 1, true},
    // WOW64 on Windows 7 and earlier: the 64-bit thread block's address in the batch field.
    {"Wow64Windows7", 0x23, KB_PROBE_GDI_BATCH_COUNT, {0x7EFDB000, 0, 0}, 1, true},
    // Asked for the batch field only, the offset field is not consulted.
    {"OffsetFieldNotAsked", 0x23, KB_PROBE_GDI_BATCH_COUNT, {0, 0xFFFFE000, 0}, 0, true},
    // A 32-bit process on a 64-bit Linux kernel under Wine's 32-bit prefix: no 64-bit block.
    {"WineWin32Prefix", 0x23, kBoth, {0, 0, 0}, 0, true},
    // A small batch count is a count, not an address.
    {"BatchCountIsACount", 0x23, KB_PROBE_GDI_BATCH_COUNT, {12, 0, 0}, 0, true},
    {"BatchCountNotPageAligned", 0x23, KB_PROBE_GDI_BATCH_COUNT, {0x7EFDB010, 0, 0}, 0, true},
};

class WowChoiceTest : public testing::TestWithParam<Case> {};

TEST_P(WowChoiceTest, ChoosesTheTreeTheReaderExpects) {
    Case c = GetParam();
    EXPECT_EQ(KbChooseWide(c.cs, c.probes, ReadField, &c.block), c.wide);
    EXPECT_EQ(c.block.reads > 0, c.readsMemory);
}

INSTANTIATE_TEST_SUITE_P(Cases, WowChoiceTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
