// Environment detection and the start-up checks under Wine. The Windows version is set per
// program (HKCU\Software\Wine\AppDefaults\<program>\Version) for two probe programs, one with
// the application manifest and one without, so that the parallel tests keep the prefix's own
// version.
#include <cstdio>
#include <algorithm>
#include <cstring>

#include "install/InstallWin32.h"
#include "tests/engine/EngineFixture.h"

namespace {

constexpr uint32_t kMissingId = 9999;
constexpr uint32_t kClassId = 94;

bool Is64BitWindows() {
    if (sizeof(void*) == 8) return true;
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

class EnvironmentTest : public EngineTest {
protected:
    void AddTexts(std::vector<StringEntry>& common) override {
        common.push_back(Entry(58, "GetNativeSystemInfo"));
        common.push_back(Entry(144, "kernel32.dll"));
        common.push_back(Entry(kClassId, "KbTest." + U8(UniqueTestName())));
    }
};

TEST_F(EnvironmentTest, DetectsTheVersionAndTheNativeArchitecture) {
    ASSERT_TRUE(install.DetectEnvironment(58, 144));
    std::printf("OsVersion %d, ProcessorArchitecture %d, Is64Bit %d\n", install.OsVersion,
                install.ProcessorArchitecture, install.Is64Bit);
    const int32_t known[] = {50, 51, 52, 60, 61, 62, 63, 100};
    EXPECT_NE(std::find(std::begin(known), std::end(known), install.OsVersion), std::end(known));
    EXPECT_EQ(install.ProcessorArchitecture, Is64BitWindows() ? 9 : 0);
    EXPECT_EQ(install.Is64Bit, Is64BitWindows() ? 1 : 0);
}

TEST_F(EnvironmentTest, WithoutTheNativeProcedureTheProcessViewIsTaken) {
    install.ProcessorArchitecture = 77;
    ASSERT_TRUE(install.DetectEnvironment(kMissingId, 144));
    // A 32-bit program then sees x86 even on 64-bit Windows.
    const int16_t expected = sizeof(void*) == 8 ? 9 : 0;
    EXPECT_EQ(install.ProcessorArchitecture, expected);
    EXPECT_EQ(install.Is64Bit, expected == 9 ? 1 : 0);
    ASSERT_TRUE(install.DetectEnvironment(58, kMissingId));
    EXPECT_EQ(install.ProcessorArchitecture, expected);
}

TEST_F(EnvironmentTest, UserOfWineCountsAsAdministrator) {
    // Wine gives its user the administrators group, as an elevated Windows session does.
    EXPECT_EQ(install.IsAdministrator(), 1);
}

TEST_F(EnvironmentTest, RunningCopyIsFoundByItsWindowClass) {
    EXPECT_EQ(install.ActivateRunningCopy(), 1);
    GString name;
    ASSERT_TRUE(install.GetString(kClassId, name));
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = W(TextOf(name));
    const std::u16string className = TextOf(name);
    windowClass.lpszClassName = W(className);
    ASSERT_NE(RegisterClassW(&windowClass), 0);
    HWND window = CreateWindowExW(0, W(className), W(u"Kreska Setup"), WS_OVERLAPPEDWINDOW, 0, 0,
                                  100, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr) {
        UnregisterClassW(W(className), GetModuleHandleW(nullptr));
        GTEST_SKIP() << "no display to create a window on";
    }
    EXPECT_EQ(install.ActivateRunningCopy(), 0);
    DestroyWindow(window);
    EXPECT_EQ(install.ActivateRunningCopy(), 1);
    UnregisterClassW(W(className), GetModuleHandleW(nullptr));
}

TEST(ManifestTest, TestProgramCarriesTheInstallerManifest) {
    // Manifest resource (type 24) with id 1, as the installer embeds it.
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(found, nullptr);
    const DWORD size = SizeofResource(nullptr, found);
    const char* data = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
    ASSERT_NE(data, nullptr);
    const std::string manifest(data, size);
    const char* const expected[] = {
        "level=\"asInvoker\"",
        "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
        "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Vista
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10
    };
    for (const char* text : expected) EXPECT_NE(manifest.find(text), std::string::npos) << text;
}

// Runs a probe program under the given Wine version and returns its line.
std::string RunProbe(const std::u16string& program, const char* wineVersion,
                     const std::u16string& out) {
    const std::u16string key = u"Software\\Wine\\AppDefaults\\" + program;
    HKEY appKey = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, W(key), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &appKey,
                        nullptr) != ERROR_SUCCESS)
        return "no AppDefaults key";
    const std::u16string version = U16(wineVersion);
    RegSetValueExW(appKey, W(u"Version"), 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                   static_cast<DWORD>((version.size() + 1) * 2));
    RegCloseKey(appKey);

    DeleteFileW(W(out));
    const std::u16string path = ProgramFolder() + u"\\" + program;
    std::u16string line = u"\"" + path + u"\" \"" + out + u"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string result = "did not start";
    if (CreateProcessW(W(path), const_cast<wchar_t*>(W(line)), nullptr, nullptr, FALSE, 0, nullptr,
                       nullptr, &startup, &process)) {
        WaitForSingleObject(process.hProcess, 60000);
        DWORD code = 99;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        const std::vector<uint8_t> bytes = ReadWholeFile(out);
        result = code == 0 ? std::string(bytes.begin(), bytes.end())
                           : "exit code " + std::to_string(code);
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, W(key));
    return result;
}

TEST_F(EnvironmentTest, VersionsThatWineEmulates) {
    const bool win64 = Is64BitWindows();
    const char* arch = win64 ? "arch=9 is64=1" : "arch=0 is64=0";
    struct Case {
        const char* wine;
        int manifested;  // what the installer, with its manifest, sees
        int plain;       // what a program without the manifest sees
    };
    // Windows XP reports 5.1 whatever the processor; "winxp64" is XP for x64, version 5.2.
    std::vector<Case> cases = {
        {"winxp", 51, 51},
        {"win7", 61, 61},
        {"win81", 63, 62},
        {"win10", 100, 62},
    };
    if (win64) cases.push_back({"winxp64", 52, 52});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.wine);
        const std::string withManifest =
            RunProbe(u"engine_detect_probe.exe", c.wine, tempDir + u"\\manifested.txt");
        const std::string plain =
            RunProbe(u"engine_detect_probe_plain.exe", c.wine, tempDir + u"\\plain.txt");
        std::printf("Wine %-6s installer: %s   without manifest: %s\n", c.wine,
                    withManifest.c_str(), plain.c_str());
        EXPECT_EQ(withManifest, "os=" + std::to_string(c.manifested) + " " + arch);
        EXPECT_EQ(plain, "os=" + std::to_string(c.plain) + " " + arch);
    }
}

}  // namespace
