#include "tests/engine/EngineFixture.h"

#include "install/InstallWin32.h"

std::u16string U16(const std::string& utf8) {
    std::u16string out;
    EXPECT_TRUE(Utf8ToUtf16(utf8, out)) << "bad UTF-8 in a test text";
    return out;
}

std::string U8(const std::u16string& utf16) {
    GString text;
    SetText(text, utf16);
    return Utf8Of(text);
}

std::string U8(const GString& text) {
    if (text.IsWide()) return Utf8Of(text);
    return std::string(text.NarrowText(0), static_cast<size_t>(text.Length()));
}

void SetText(GString& target, const std::u16string& text) {
    ASSERT_TRUE(target.AssignWide(text.c_str(), static_cast<int>(text.size())));
}

std::u16string TextOf(const GString& text) {
    if (!text.IsWide()) return U16(U8(text));
    return std::u16string(text.WideText(0), static_cast<size_t>(text.Length()));
}

std::u16string UniqueTestName() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "none";
    if (info != nullptr) name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name) {
        if (c == '/' || c == '\\') c = '_';
    }
    return U16(name + "." + std::to_string(GetCurrentProcessId()));
}

std::u16string ProgramFolder() {
    wchar_t path[4096] = {0};
    const DWORD length = GetModuleFileNameW(nullptr, path, 4096);
    std::u16string text(reinterpret_cast<const char16_t*>(path), length);
    const size_t slash = text.find_last_of(u"\\/");
    return slash == std::u16string::npos ? std::u16string() : text.substr(0, slash);
}

bool RemoveTree(const std::u16string& folder) {
    if (folder.empty()) return false;
    WIN32_FIND_DATAW found;
    const std::u16string pattern = folder + u"\\*";
    HANDLE search = FindFirstFileW(W(pattern), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::u16string name(reinterpret_cast<const char16_t*>(found.cFileName));
            if (name == u"." || name == u"..") continue;
            const std::u16string path = folder + u"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                SetFileAttributesW(W(path), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(W(path));
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(W(folder));
    return GetFileAttributesW(W(folder)) == INVALID_FILE_ATTRIBUTES;
}

std::vector<uint8_t> ReadWholeFile(const std::u16string& path) {
    std::vector<uint8_t> bytes;
    HANDLE file = CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    uint8_t chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got != 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    CloseHandle(file);
    return bytes;
}

bool FileExists(const std::u16string& path) {
    return GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES;
}

void EngineTest::SetUp() {
    const std::u16string unique = UniqueTestName();
    userRoot = u"Software\\KbTest\\" + unique;
    machineRoot = u"Software\\KbTest\\" + unique;

    wchar_t temp[MAX_PATH + 1] = {0};
    ASSERT_NE(GetTempPathW(MAX_PATH + 1, temp), 0u);
    tempDir = std::u16string(reinterpret_cast<const char16_t*>(temp)) + u"kbtest-" + unique;
    RemoveTree(tempDir);
    ASSERT_TRUE(CreateDirectoryW(W(tempDir), nullptr));

    FixtureTexts texts;
    texts.common = {Entry(kUserRootId, U8(userRoot)), Entry(kMachineRootId, U8(machineRoot))};
    AddTexts(texts.common);
    texts.supplementary = {Entry(154, "(none)")};
    texts.language[0] = {Entry(93, "Kreska Setup")};
    texts.language[1] = {Entry(93, "Instalator Kreska")};
    std::string error;
    ASSERT_TRUE(tables.Build(texts, error)) << error;
    ASSERT_TRUE(install.InitFrom(ToOs(GetModuleHandleW(nullptr)), tables.Tables()));
}

void EngineTest::TearDown() {
    RegDeleteTreeW(HKEY_CURRENT_USER, W(userRoot));
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, W(machineRoot));
    // The shared parent goes when the last test has left it empty.
    RegDeleteKeyW(HKEY_CURRENT_USER, W(u"Software\\KbTest"));
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, W(u"Software\\KbTest"));
    EXPECT_TRUE(RemoveTree(tempDir)) << U8(tempDir);
}

HKEY EngineTest::UserKey() {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, W(userRoot), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    return key;
}

HKEY EngineTest::MachineKey() {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, W(machineRoot), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    return key;
}
