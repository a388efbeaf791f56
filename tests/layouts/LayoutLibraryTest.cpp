// Loads every layout library build of this process's architecture, calls KbdLayerDescriptor and
// walks the whole table tree with our own reader: every pointer inside the image, every table
// well formed, every key as the layout source says, the installer's key-table defaults, and under
// WOW64 the tree with 8-byte pointer slots.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "KbdTableReader.h"
#include "LayoutCheck.h"
#include "layout_builds.h"
#include "text/WinText.h"

namespace {

using kbtest::DecodedLayout;
using kbtest::ImageView;

using DescriptorProc = const void*(WINAPI*)();

bool RunningUnderWow64() {
#ifdef _WIN64
    return false;
#else
    BOOL wow = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow) && wow;
#endif
}

// The pointer width a reader in this process must find.
int ExpectedPointerSize() {
    return sizeof(void*) == 8 || RunningUnderWow64() ? 8 : 4;
}

class LoadedLibrary {
public:
    explicit LoadedLibrary(const char16_t* path)
        : module_(LoadLibraryExW(WinText(path), nullptr, 0)) {}
    ~LoadedLibrary() {
        if (module_ != nullptr) FreeLibrary(module_);
    }
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;
    HMODULE get() const { return module_; }

    ImageView View() const {
        const auto* bytes = reinterpret_cast<const uint8_t*>(module_);
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(bytes + dos->e_lfanew);
        return {reinterpret_cast<uintptr_t>(bytes), bytes, nt->OptionalHeader.SizeOfImage};
    }

private:
    HMODULE module_;
};

std::string Narrow(const char16_t* text) {
    std::string out;
    for (; *text != 0; ++text) out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
    return out;
}

// String `id` of the string table in language `lang`, read from the resource block itself.
std::u16string ResourceString(HMODULE module, unsigned id, WORD lang) {
    HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(id / 16 + 1), lang);
    if (found == nullptr) return u"<missing>";
    const auto* block = static_cast<const char16_t*>(LockResource(LoadResource(module, found)));
    const DWORD size = SizeofResource(module, found) / 2;
    DWORD at = 0;
    for (unsigned i = 0; i < id % 16 && at < size; ++i) at += 1 + block[at];
    if (at >= size || at + 1 + block[at] > size) return u"<malformed>";
    return std::u16string(block + at + 1, block[at]);
}

DescriptorProc Descriptor(HMODULE module) {
    FARPROC proc = GetProcAddress(module, "KbdLayerDescriptor");
    return reinterpret_cast<DescriptorProc>(reinterpret_cast<void*>(proc));
}

class LayoutLibraryTest : public testing::TestWithParam<LayoutBuildFile> {};

TEST_P(LayoutLibraryTest, HoldsTheLayoutOfItsSource) {
    const LayoutBuildFile& build = GetParam();
    LoadedLibrary library(build.path);
    ASSERT_NE(library.get(), nullptr) << Narrow(build.path) << ": error " << GetLastError();
    const DescriptorProc descriptor = Descriptor(library.get());
    ASSERT_NE(descriptor, nullptr);
    const void* tables = descriptor();
    const ImageView image = library.View();
    const auto address = reinterpret_cast<uintptr_t>(tables);
    ASSERT_TRUE(address >= image.base && address < image.base + image.size);

    DecodedLayout layout;
    std::string error;
    const bool hasType = build.slot >= 5;
    ASSERT_TRUE(
        kbtest::ReadLayoutTables(image, address, ExpectedPointerSize(), hasType, layout, error))
        << Narrow(build.path) << " read with " << ExpectedPointerSize()
        << "-byte pointers: " << error;
    const auto faults =
        kbtest::CheckLayout(layout, kbtest::ExpectedBuild(build.variant, build.set), hasType);
    for (const std::string& fault : faults) ADD_FAILURE() << Narrow(build.path) << ": " << fault;
}

// The system's own case mapping agrees with every Caps Lock flag the library sets.
TEST_P(LayoutLibraryTest, CapsLockFollowsTheSystemCaseMapping) {
    const LayoutBuildFile& build = GetParam();
    LoadedLibrary library(build.path);
    ASSERT_NE(library.get(), nullptr);
    const DescriptorProc descriptor = Descriptor(library.get());
    ASSERT_NE(descriptor, nullptr);
    DecodedLayout layout;
    std::string error;
    ASSERT_TRUE(kbtest::ReadLayoutTables(library.View(), reinterpret_cast<uintptr_t>(descriptor()),
                                         ExpectedPointerSize(), build.slot >= 5, layout, error))
        << error;
    const auto isPair = [](uint16_t lower, uint16_t upper) {
        const auto upperOf = reinterpret_cast<uintptr_t>(
            CharUpperW(reinterpret_cast<LPWSTR>(static_cast<uintptr_t>(lower))));
        return lower != upper && upperOf == upper;
    };
    int flagged = 0;
    for (const kbtest::DecodedRow& row : layout.rows) {
        if (row.attributes & 0x01) {
            ++flagged;
            EXPECT_TRUE(row.width >= 2 && isPair(row.chars[0], row.chars[1])) << int(row.vk);
        }
        if (row.attributes & 0x04) {
            EXPECT_TRUE(row.width >= 5 && isPair(row.chars[3], row.chars[4])) << int(row.vk);
        }
    }
    EXPECT_EQ(flagged, 26);  // the Latin letters, wherever a variant puts them
}

TEST_P(LayoutLibraryTest, NamesItselfInEnglishAndPolish) {
    const LayoutBuildFile& build = GetParam();
    LoadedLibrary library(build.path);
    ASSERT_NE(library.get(), nullptr);
    const std::u16string english =
        ResourceString(library.get(), 1000, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    std::string expected = kbtest::ExpectedBuild(build.variant, build.set).displayNameEn;
    EXPECT_EQ(Narrow(english.c_str()), expected);
    const std::u16string polish =
        ResourceString(library.get(), 1000, MAKELANGID(LANG_POLISH, SUBLANG_DEFAULT));
    EXPECT_EQ(polish.rfind(u"Kreska", 0), 0u) << Narrow(polish.c_str());
}

std::string BuildName(const testing::TestParamInfo<LayoutBuildFile>& info) {
    const auto& build = kbtest::ExpectedBuild(info.param.variant, info.param.set);
    return std::string(build.variant) + "_" + build.set + "_slot" + std::to_string(info.param.slot);
}

INSTANTIATE_TEST_SUITE_P(Builds, LayoutLibraryTest, testing::ValuesIn(kLayoutBuildFiles),
                         BuildName);

// The answer a 32-bit reader gets depends on WOW64; both answers come from one image, so the
// tree that comes back is the one whose pointers this process can follow.
TEST(LayoutLibraryWow64, PointerWidthMatchesTheProcess) {
    ASSERT_GT(sizeof(kLayoutBuildFiles) / sizeof(kLayoutBuildFiles[0]), 0u);
    const LayoutBuildFile& build = kLayoutBuildFiles[0];
    LoadedLibrary library(build.path);
    ASSERT_NE(library.get(), nullptr);
    const DescriptorProc descriptor = Descriptor(library.get());
    ASSERT_NE(descriptor, nullptr);
    const ImageView image = library.View();
    const auto address = reinterpret_cast<uintptr_t>(descriptor());
    DecodedLayout layout;
    std::string error;
    const int other = ExpectedPointerSize() == 8 ? 4 : 8;
    // Read with the other width, the tree must not pass as a layout.
    const bool misread =
        kbtest::ReadLayoutTables(image, address, other, build.slot >= 5, layout, error) &&
        kbtest::CheckLayout(layout, kbtest::ExpectedBuild(build.variant, build.set),
                            build.slot >= 5)
            .empty();
    EXPECT_FALSE(misread) << "the tree reads as a layout with " << other << "-byte pointers too";
    std::printf("pointer width %d (%s)\n", ExpectedPointerSize(),
                RunningUnderWow64() ? "WOW64" : "native");
}

}  // namespace
