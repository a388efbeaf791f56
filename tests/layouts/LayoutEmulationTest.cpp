// Runs KbdLayerDescriptor of every library build in a CPU emulator, in the situations a real
// system calls it in, and walks the tree it returns with our own reader. This covers what Wine
// on a machine without 32-bit support cannot: the 32-bit builds, the kernel-mode call of 32-bit
// Windows, and WOW64 on the Windows versions before 8. Each image is mapped away from its
// preferred base, so every table pointer must be covered by a base relocation.
#include <unicorn/unicorn.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "KbdTableReader.h"
#include "LayoutCheck.h"
#include "PeImage.h"

namespace {

using kbtest::DecodedLayout;
using kbtest::DecodedScanVk;
using kbtest::PeImage;

constexpr uint64_t kGdt = 0x1000;
constexpr uint64_t kStack = 0x200000;  // one page; the return address sits at its top
constexpr uint64_t kStop = 0x300000;   // return address: emulation ends there
constexpr uint64_t kTeb = 0x7EFDE000;  // the current thread block, where FS points
constexpr uint32_t kTeb64 = kTeb - 0x2000;

struct Build {
    unsigned variant, set, slot;
    std::string file;
};

std::vector<Build> ReadBuilds() {
    std::vector<Build> builds;
    std::ifstream in(std::string(KB_LAYOUT_OUT) + "/builds.tsv");
    Build build;
    while (in >> build.variant >> build.set >> build.slot >> build.file) builds.push_back(build);
    return builds;
}

bool Is32Bit(unsigned slot) {
    return slot == 0 || slot == 1 || slot == 2 || slot == 5 || slot == 8 || slot == 11;
}

// How the caller's processor looks when it calls the library.
struct Caller {
    const char* name;
    uint16_t cs;             // code segment selector
    uint32_t gdiBatchCount;  // thread-block fields; FS is mapped only when any is set
    uint32_t wowTebOffset;
    bool Teb() const { return gdiBatchCount != 0 || wowTebOffset != 0 || cs == 0x23; }
};

const Caller kCallers[] = {
    {"KernelModeOn32BitWindows", 0x08, 0, 0},      {"UserModeOn32BitWindows", 0x1B, 0, 0},
    {"Wow64BeforeWindows8", 0x23, kTeb64, 0},      {"Wow64FromWindows8", 0x23, 0, 0xFFFFE000},
    {"WineWow64Prefix", 0x23, kTeb64, 0xFFFFE000}, {"WineWin32PrefixOn64BitLinux", 0x23, 0, 0},
};

// Which tree the caller must get from a 32-bit build.
bool ExpectWide(const Caller& caller) {
    return caller.cs == 0x23 && (caller.gdiBatchCount != 0 || caller.wowTebOffset != 0);
}

struct Access {
    uint64_t imageBegin, imageEnd;
    std::vector<std::string> outside;
    bool tebAllowed;
};

void OnMemory(uc_engine*, uc_mem_type type, uint64_t address, int size, int64_t, void* data) {
    auto* access = static_cast<Access*>(data);
    const bool image = address >= access->imageBegin && address + size <= access->imageEnd;
    const bool stack = address >= kStack && address + size <= kStack + 0x1000;
    const bool teb = access->tebAllowed && type == UC_MEM_READ &&
                     (address == kTeb + 0xF70 || address == kTeb + 0xFDC);
    if (!image && !stack && !teb) {
        std::ostringstream text;
        text << (type == UC_MEM_WRITE ? "write" : "read") << " at 0x" << std::hex << address;
        access->outside.push_back(text.str());
    }
}

void OnCode(uc_engine*, uint64_t address, uint32_t size, void* data) {
    auto* access = static_cast<Access*>(data);
    if (address < access->imageBegin || address + size > access->imageEnd) {
        std::ostringstream text;
        text << "code at 0x" << std::hex << address;
        access->outside.push_back(text.str());
    }
}

uint64_t Descriptor(uint32_t base, uint8_t access) {
    const uint32_t limit = 0xFFFFF;
    return (limit & 0xFFFF) | (static_cast<uint64_t>(base & 0xFFFFFF) << 16) |
           (static_cast<uint64_t>(access) << 40) | (static_cast<uint64_t>(limit >> 16) << 48) |
           (0xCull << 52) | (static_cast<uint64_t>(base >> 24) << 56);
}

class Emulator {
public:
    explicit Emulator(bool x64) {
        ok_ = uc_open(UC_ARCH_X86, x64 ? UC_MODE_64 : UC_MODE_32, &uc_) == UC_ERR_OK;
    }
    ~Emulator() {
        if (uc_ != nullptr) uc_close(uc_);
    }
    Emulator(const Emulator&) = delete;
    Emulator& operator=(const Emulator&) = delete;
    bool ok() const { return ok_; }
    uc_engine* get() { return uc_; }

    bool Map(uint64_t address, const void* bytes, size_t size) {
        const size_t pages = (size + 0xFFF) & ~size_t{0xFFF};
        return uc_mem_map(uc_, address, pages, UC_PROT_ALL) == UC_ERR_OK &&
               (bytes == nullptr || uc_mem_write(uc_, address, bytes, size) == UC_ERR_OK);
    }

    // Flat protected-mode segments, the caller's code selector, FS on the thread block.
    bool Segments(uint16_t cs) {
        const uint64_t gdt[8] = {0,
                                 Descriptor(0, 0x9A),     // 0x08 kernel code
                                 Descriptor(0, 0x92),     // 0x10 kernel data
                                 Descriptor(0, 0xFA),     // 0x1B user code, 32-bit Windows
                                 Descriptor(0, 0xFA),     // 0x23 user code, WOW64
                                 Descriptor(0, 0xF2),     // 0x2B user data
                                 Descriptor(kTeb, 0x92),  // 0x30 thread block
                                 0};
        uc_x86_mmr gdtr{};
        gdtr.base = kGdt;
        gdtr.limit = sizeof gdt - 1;
        int data = 0x10, fs = 0x30, code = cs;
        return Map(kGdt, gdt, sizeof gdt) &&
               uc_reg_write(uc_, UC_X86_REG_GDTR, &gdtr) == UC_ERR_OK &&
               uc_reg_write(uc_, UC_X86_REG_SS, &data) == UC_ERR_OK &&
               uc_reg_write(uc_, UC_X86_REG_DS, &data) == UC_ERR_OK &&
               uc_reg_write(uc_, UC_X86_REG_ES, &data) == UC_ERR_OK &&
               uc_reg_write(uc_, UC_X86_REG_FS, &fs) == UC_ERR_OK &&
               uc_reg_write(uc_, UC_X86_REG_CS, &code) == UC_ERR_OK;
    }

    // Calls the function at `entry` with no arguments; its result, or 0 on a fault.
    uint64_t Call(uint64_t entry, bool x64, std::string& fault) {
        const uint64_t top = kStack + 0x1000 - 16;
        const uint64_t stop = kStop;
        uc_mem_write(uc_, top, &stop, x64 ? 8 : 4);
        uint64_t sp = top;
        uc_reg_write(uc_, x64 ? UC_X86_REG_RSP : UC_X86_REG_ESP, &sp);
        const uc_err err = uc_emu_start(uc_, entry, kStop, 0, 10000);
        if (err != UC_ERR_OK) {
            fault = uc_strerror(err);
            return 0;
        }
        uint64_t pc = 0, result = 0;
        uc_reg_read(uc_, x64 ? UC_X86_REG_RIP : UC_X86_REG_EIP, &pc);
        if (pc != kStop) {
            fault = "did not return";
            return 0;
        }
        uc_reg_read(uc_, x64 ? UC_X86_REG_RAX : UC_X86_REG_EAX, &result);
        return x64 ? result : result & 0xFFFFFFFF;
    }

private:
    uc_engine* uc_ = nullptr;
    bool ok_ = false;
};

struct Outcome {
    uint64_t tables = 0;
    std::string fault;
    std::vector<std::string> outside;
};

Outcome CallDescriptor(const PeImage& image, const Caller* caller) {
    Outcome outcome;
    const bool x64 = image.machine == 0x8664;
    Emulator emulator(x64);
    Access access{image.base, image.base + image.mapped.size(), {}, caller && caller->Teb()};
    if (!emulator.ok() || !emulator.Map(image.base, image.mapped.data(), image.mapped.size()) ||
        !emulator.Map(kStack, nullptr, 0x1000)) {
        outcome.fault = "emulator set-up failed";
        return outcome;
    }
    if (caller != nullptr) {
        if (caller->Teb()) {
            std::vector<uint8_t> teb(0x1000, 0);
            std::memcpy(&teb[0xF70], &caller->gdiBatchCount, 4);
            std::memcpy(&teb[0xFDC], &caller->wowTebOffset, 4);
            emulator.Map(kTeb, teb.data(), teb.size());
        }
        if (!emulator.Segments(caller->cs)) {
            outcome.fault = "segment set-up failed";
            return outcome;
        }
    }
    uc_hook memoryHook, codeHook;
    uc_hook_add(emulator.get(), &memoryHook, UC_HOOK_MEM_READ | UC_HOOK_MEM_WRITE,
                reinterpret_cast<void*>(OnMemory), &access, 1, 0);
    uc_hook_add(emulator.get(), &codeHook, UC_HOOK_CODE, reinterpret_cast<void*>(OnCode), &access,
                1, 0);
    const uint64_t entry = kbtest::FindExport(image, "KbdLayerDescriptor");
    if (entry == 0) {
        outcome.fault = "no export";
        return outcome;
    }
    outcome.tables = emulator.Call(entry, x64, outcome.fault);
    outcome.outside = access.outside;
    return outcome;
}

void CheckTree(const PeImage& image, const Build& build, uint64_t tables, int pointerSize) {
    DecodedLayout layout;
    std::string error;
    const kbtest::ImageView view{image.base, image.mapped.data(), image.mapped.size()};
    const bool hasType = build.slot >= 5;
    ASSERT_TRUE(kbtest::ReadLayoutTables(view, tables, pointerSize, hasType, layout, error))
        << build.file << " with " << pointerSize << "-byte pointers: " << error;
    for (const std::string& fault :
         kbtest::CheckLayout(layout, kbtest::ExpectedBuild(build.variant, build.set), hasType))
        ADD_FAILURE() << build.file << ": " << fault;
}

TEST(LayoutEmulation, ThirtyTwoBitBuildsGiveEachCallerItsTree) {
    int builds = 0;
    for (const Build& build : ReadBuilds()) {
        if (!Is32Bit(build.slot)) continue;
        ++builds;
        PeImage image;
        std::string error;
        ASSERT_TRUE(kbtest::LoadPeImage(std::string(KB_LAYOUT_OUT) + "/" + build.file, 0x10000000,
                                        image, error))
            << error;
        ASSERT_EQ(image.machine, 0x14C);
        for (const Caller& caller : kCallers) {
            SCOPED_TRACE(build.file + " called by " + caller.name);
            const Outcome outcome = CallDescriptor(image, &caller);
            ASSERT_EQ(outcome.fault, "");
            // The call touches the image and its stack, and the thread block's two fields
            // only where a user-mode caller might be WOW64.
            for (const std::string& access : outcome.outside) ADD_FAILURE() << access;
            const bool wide = ExpectWide(caller);
            CheckTree(image, build, outcome.tables, wide ? 8 : 4);
        }
    }
    EXPECT_EQ(builds, 36);
}

TEST(LayoutEmulation, SixtyFourBitBuildsGiveTheirTreeAnywhere) {
    int builds = 0;
    for (const Build& build : ReadBuilds()) {
        if (Is32Bit(build.slot)) continue;
        ++builds;
        PeImage image;
        std::string error;
        // Above 4 GB, so that the upper half of every pointer needs its relocation too.
        ASSERT_TRUE(kbtest::LoadPeImage(std::string(KB_LAYOUT_OUT) + "/" + build.file,
                                        0x7FF610000000, image, error))
            << error;
        ASSERT_EQ(image.machine, 0x8664);
        const Outcome outcome = CallDescriptor(image, nullptr);
        ASSERT_EQ(outcome.fault, "") << build.file;
        for (const std::string& access : outcome.outside) ADD_FAILURE() << build.file << access;
        CheckTree(image, build, outcome.tables, 8);
    }
    EXPECT_EQ(builds, 24);
}

// The two trees of a 32-bit build share one copy of every table the installer patches.
TEST(LayoutEmulation, BothTreesShareThePatchableTables) {
    for (const Build& build : ReadBuilds()) {
        if (!Is32Bit(build.slot)) continue;
        PeImage image;
        std::string error;
        ASSERT_TRUE(
            kbtest::LoadPeImage(std::string(KB_LAYOUT_OUT) + "/" + build.file, 0, image, error));
        const Outcome native = CallDescriptor(image, &kCallers[0]);
        const Outcome wide = CallDescriptor(image, &kCallers[4]);
        const kbtest::ImageView view{image.base, image.mapped.data(), image.mapped.size()};
        DecodedLayout a, b;
        ASSERT_TRUE(kbtest::ReadLayoutTables(view, native.tables, 4, build.slot >= 5, a, error));
        ASSERT_TRUE(kbtest::ReadLayoutTables(view, wide.tables, 8, build.slot >= 5, b, error));
        EXPECT_NE(native.tables, wide.tables);
        EXPECT_EQ(a.scanToVkAt, b.scanToVkAt) << build.file;
        EXPECT_EQ(a.e0At, b.e0At) << build.file;
        EXPECT_EQ(a.e1At, b.e1At) << build.file;
    }
}

// The installer's patch, done the way it does it: each pattern text of the string table decoded
// and searched from the start of the file as patched so far, the first match taken.
std::vector<uint8_t> PatternBytes(int id) {
    std::ifstream in(std::string(KB_LAYOUT_OUT) + "/patterns.toml");
    const std::string key = std::to_string(id) + " = \"";
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(key, 0) != 0) continue;
        const std::string hex = line.substr(key.size(), line.find('"', key.size()) - key.size());
        std::vector<uint8_t> bytes;
        for (size_t i = 0; i + 1 < hex.size(); i += 2)
            bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
        return bytes;
    }
    return {};
}

size_t FindFirst(const std::vector<uint8_t>& image, const std::vector<uint8_t>& pattern) {
    if (pattern.empty()) return std::string::npos;
    const auto at = std::search(image.begin(), image.end(), pattern.begin(), pattern.end());
    return at == image.end() ? std::string::npos : static_cast<size_t>(at - image.begin());
}

struct Remap {
    uint16_t scan, vk;
};

bool PatchBuild(std::vector<uint8_t>& file, unsigned variant, const std::vector<Remap>& remaps) {
    const size_t base = FindFirst(file, PatternBytes(147 + static_cast<int>(variant)));
    if (base == std::string::npos) return false;
    for (const Remap& r : remaps)
        if (r.scan < 0x7F) {
            file[base + 2 * r.scan] = r.vk & 0xFF;
            file[base + 2 * r.scan + 1] = r.vk >> 8;
        }
    for (int id : {150, 151}) {
        const size_t table = FindFirst(file, PatternBytes(id));
        if (table == std::string::npos) return false;
        const uint16_t prefix = id == 150 ? 0xE0 : 0xE1;
        for (const Remap& r : remaps) {
            if ((r.scan >> 8) != prefix) continue;
            for (size_t at = table; at + 4 <= file.size() && file[at] != 0; at += 4)
                if (file[at] == (r.scan & 0xFF)) {
                    file[at + 2] = r.vk & 0xFF;
                    file[at + 3] = r.vk >> 8;
                    break;
                }
        }
    }
    const size_t decimal = FindFirst(file, PatternBytes(146));
    if (decimal == std::string::npos) return false;
    file[decimal] = ',';
    file[decimal + 2] = ',';
    return true;
}

// One patch through the patterns reaches every tree of every build: the remapped keys and the
// decimal comma, and nothing else.
TEST(LayoutEmulation, PatchesThroughThePatternsReachEveryTree) {
    const std::vector<Remap> remaps = {
        {0x3A, 0x00A2}, {0x01, 0x0014}, {0x7E, 0x0091}, {0xE05B, 0x015D}, {0xE11D, 0x0091}};
    int builds = 0;
    for (const Build& build : ReadBuilds()) {
        ++builds;
        std::vector<uint8_t> file =
            kbtest::ReadFileBytes(std::string(KB_LAYOUT_OUT) + "/" + build.file);
        const std::vector<uint8_t> original = file;
        ASSERT_TRUE(PatchBuild(file, build.variant, remaps)) << build.file;
        PeImage patched, plain;
        std::string error;
        ASSERT_TRUE(kbtest::LoadPeBytes(file, build.file, 0, patched, error)) << error;
        ASSERT_TRUE(kbtest::LoadPeBytes(original, build.file, 0, plain, error)) << error;
        std::vector<const Caller*> callers = {nullptr};
        if (Is32Bit(build.slot)) callers = {&kCallers[0], &kCallers[4]};
        for (const Caller* caller : callers) {
            const int pointerSize = !Is32Bit(build.slot) || caller == &kCallers[4] ? 8 : 4;
            DecodedLayout before, after;
            const bool hasType = build.slot >= 5;
            ASSERT_TRUE(kbtest::ReadLayoutTables(
                {plain.base, plain.mapped.data(), plain.mapped.size()},
                CallDescriptor(plain, caller).tables, pointerSize, hasType, before, error));
            ASSERT_TRUE(kbtest::ReadLayoutTables(
                {patched.base, patched.mapped.data(), patched.mapped.size()},
                CallDescriptor(patched, caller).tables, pointerSize, hasType, after, error))
                << error;
            for (const Remap& r : remaps)
                if (r.scan < 0x7F) before.scanToVk[r.scan] = r.vk;
            for (auto* list : {&before.e0, &before.e1})
                for (DecodedScanVk& entry : *list)
                    for (const Remap& r : remaps)
                        if ((r.scan >> 8) == (list == &before.e0 ? 0xE0 : 0xE1) &&
                            entry.scan == (r.scan & 0xFF))
                            entry.vkEntry = r.vk;
            EXPECT_EQ(after.scanToVk, before.scanToVk) << build.file;
            ASSERT_EQ(after.e0.size(), before.e0.size());
            for (size_t i = 0; i < after.e0.size(); ++i)
                EXPECT_EQ(after.e0[i].vkEntry, before.e0[i].vkEntry) << build.file << " E0 " << i;
            ASSERT_EQ(after.e1.size(), before.e1.size());
            EXPECT_EQ(after.e1[0].vkEntry, 0x0091) << build.file;
            ASSERT_EQ(after.rows.size(), before.rows.size());
            for (size_t i = 0; i < after.rows.size(); ++i) {
                std::vector<uint16_t> chars = before.rows[i].chars;
                if (before.rows[i].vk == 0x6E) chars = {',', ','};
                EXPECT_EQ(after.rows[i].chars, chars) << build.file << " row " << i;
            }
        }
    }
    EXPECT_EQ(builds, 60);
}

}  // namespace
