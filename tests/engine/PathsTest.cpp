// The install paths and the layout library paths under Wine.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>

#include "install/InstallWin32.h"
#include "tests/engine/EngineFixture.h"

namespace {

const char kChildVariable[] = "KB_ENGINE_PATHS_CHILD";  // the InstallerPath the child expects
const char kMarkVariable[] = "KB_ENGINE_PATHS_MARK";    // file the child writes when it passed

std::vector<StringEntry> ProductTexts() {
    return {Entry(9, "Lipowa Labs"),
            Entry(10, "Kreska"),
            Entry(22, "Kreska layout chart"),
            Entry(23, "Polish"),
            Entry(30, "Kreska keyboard guide"),
            Entry(42, ".htm"),
            Entry(43, ".lnk"),
            Entry(44, ".txt"),
            Entry(46, ".url"),
            Entry(48, "Change or remove %s"),
            Entry(70, "Kreska home page"),
            Entry(71, "How to switch to Kreska"),
            Entry(80, "home.htm"),
            Entry(81, "Kreska Polish Keyboard"),
            Entry(83, "kbdkresk.dll"),
            Entry(58, "GetNativeSystemInfo"),
            Entry(60, "GetSystemWow64DirectoryW"),
            Entry(144, "kernel32.dll")};
}

std::u16string Folder(int csidl) {
    wchar_t path[MAX_PATH + 1] = {0};
    EXPECT_TRUE(SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE)) << csidl;
    return reinterpret_cast<const char16_t*>(path);
}

std::u16string ProgramName() {
    wchar_t path[MAX_PATH + 1] = {0};
    GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
    std::u16string text(reinterpret_cast<const char16_t*>(path));
    return text.substr(text.find_last_of(u'\\') + 1);
}

class PathsTest : public EngineTest {
protected:
    void AddTexts(std::vector<StringEntry>& common) override {
        for (StringEntry& e : ProductTexts()) common.push_back(e);
    }
};

TEST_F(PathsTest, InstallPathsJoinTheFoldersAndNames) {
    ASSERT_TRUE(install.ComputeInstallPaths());
    const std::u16string product = Folder(CSIDL_PROGRAM_FILES) + u"\\Lipowa Labs\\Kreska";
    const std::u16string menu = Folder(CSIDL_COMMON_PROGRAMS) + u"\\Lipowa Labs\\Kreska";
    const std::u16string desktop = Folder(CSIDL_COMMON_DESKTOPDIRECTORY);
    const std::u16string doc = u"Kreska layout chart (Polish)";
    struct Case {
        const char* member;
        const GString& actual;
        std::u16string expected;
    };
    const Case cases[] = {
        {"VendorDir", install.VendorDir, Folder(CSIDL_PROGRAM_FILES) + u"\\Lipowa Labs"},
        {"ProductDir", install.ProductDir, product},
        {"VendorMenuDir", install.VendorMenuDir, Folder(CSIDL_COMMON_PROGRAMS) + u"\\Lipowa Labs"},
        {"ProductMenuDir", install.ProductMenuDir, menu},
        {"ProductDocFile", install.ProductDocFile, product + u"\\" + doc + u".htm"},
        {"ProductDocMenuLink", install.ProductDocMenuLink, menu + u"\\" + doc + u".lnk"},
        {"ProductDocDesktopLink", install.ProductDocDesktopLink, desktop + u"\\" + doc + u".lnk"},
        {"SharedDocFile", install.SharedDocFile, product + u"\\Kreska keyboard guide.htm"},
        {"SharedDocMenuLink", install.SharedDocMenuLink, menu + u"\\Kreska keyboard guide.lnk"},
        {"SharedDocDesktopLink", install.SharedDocDesktopLink,
         desktop + u"\\Kreska keyboard guide.lnk"},
        {"TextFile", install.TextFile, product + u"\\How to switch to Kreska.txt"},
        {"TextMenuLink", install.TextMenuLink, menu + u"\\How to switch to Kreska.lnk"},
        {"TextDesktopLink", install.TextDesktopLink, desktop + u"\\How to switch to Kreska.lnk"},
        {"MenuPointerFile", install.MenuPointerFile, menu + u"\\Kreska home page.url"},
        {"DesktopPointerFile", install.DesktopPointerFile, desktop + u"\\Kreska home page.url"},
        {"PointerTarget", install.PointerTarget, product + u"\\home.htm"},
        {"InstallerCopy", install.InstallerCopy, product + u"\\" + ProgramName()},
        {"InstallerLinkTitle", install.InstallerLinkTitle,
         u"Change or remove Kreska Polish Keyboard"},
        {"InstallerMenuLink", install.InstallerMenuLink,
         menu + u"\\Change or remove Kreska Polish Keyboard.lnk"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(U8(c.actual), U8(c.expected)) << c.member;
    }
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    ASSERT_NE(argv, nullptr);
    EXPECT_EQ(U8(install.InstallerPath), U8(reinterpret_cast<const char16_t*>(argv[0])));
    LocalFree(argv);
}

// Run by the test below in a child process started with a command line of its own.
TEST_F(PathsTest, ChildSeesItsInstallerPath) {
    const char* expected = std::getenv(kChildVariable);
    const char* mark = std::getenv(kMarkVariable);
    if (expected == nullptr || mark == nullptr) GTEST_SKIP() << "runs only as the child below";
    ASSERT_TRUE(install.ComputeInstallPaths());
    EXPECT_EQ(U8(install.InstallerPath), expected);
    EXPECT_EQ(U8(install.InstallerCopy),
              U8(Folder(CSIDL_PROGRAM_FILES) + u"\\Lipowa Labs\\Kreska\\" + ProgramName()));
    if (!HasFailure()) {
        HANDLE file =
            CreateFileW(W(U16(mark)), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);
    }
}

TEST_F(PathsTest, InstallerStartedWithoutAFolderCopiesItselfUnderItsWholeName) {
    wchar_t self[MAX_PATH + 1] = {0};
    GetModuleFileNameW(nullptr, self, MAX_PATH + 1);
    std::u16string forward = reinterpret_cast<const char16_t*>(self);
    for (char16_t& c : forward) {
        if (c == u'\\') c = u'/';
    }
    // The child gets no arguments at all: the test to run is named in its environment.
    const std::u16string mark = tempDir + u"\\child passed";
    ASSERT_TRUE(
        SetEnvironmentVariableW(W(u"GTEST_FILTER"), W(u"PathsTest.ChildSeesItsInstallerPath")));
    ASSERT_TRUE(SetEnvironmentVariableW(W(U16(kMarkVariable)), W(mark)));
    // The bare name, unquoted; then a path written with forward slashes.
    for (const std::u16string& line : {ProgramName(), u"\"" + forward + u"\""}) {
        const std::u16string argv0 = line[0] == u'"' ? forward : line;
        SCOPED_TRACE(U8(line));
        DeleteFileW(W(mark));
        ASSERT_TRUE(SetEnvironmentVariableW(W(U16(kChildVariable)), W(argv0)));
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        ASSERT_TRUE(CreateProcessW(self, const_cast<wchar_t*>(W(line)), nullptr, nullptr, TRUE, 0,
                                   nullptr, nullptr, &startup, &process));
        ASSERT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
        DWORD code = 99;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        EXPECT_EQ(code, 0u);
        EXPECT_TRUE(FileExists(mark)) << "the child did not run its test";
    }
    SetEnvironmentVariableW(W(U16(kChildVariable)), nullptr);
    SetEnvironmentVariableW(W(U16(kMarkVariable)), nullptr);
    SetEnvironmentVariableW(W(u"GTEST_FILTER"), nullptr);
}

class NoFolderNamesTest : public EngineTest {
protected:
    void AddTexts(std::vector<StringEntry>& common) override {
        for (StringEntry& e : ProductTexts()) {
            if (e.id != 9 && e.id != 10) common.push_back(e);
        }
    }
};

TEST_F(NoFolderNamesTest, NoPathIsBuiltOnMissingFolderNames) {
    EXPECT_EQ(install.ComputeInstallPaths(), 0);
    // Never Program Files itself, never a path from the root of the current drive.
    for (const GString* path :
         {&install.VendorDir, &install.ProductDir, &install.ProductDocFile, &install.TextFile,
          &install.PointerTarget, &install.InstallerCopy, &install.InstallerMenuLink}) {
        EXPECT_TRUE(path->IsEmpty()) << U8(*path);
    }
}

TEST_F(PathsTest, LayoutLibraryPathsOn32BitWindows) {
    SetText(install.ProductDir, u"C:\\Program Files\\Lipowa Labs\\Kreska");
    install.Is64Bit = 0;
    GString primary, companion, primaryStaging, companionStaging;
    SetText(companion, u"stale");
    SetText(companionStaging, u"stale");
    ASSERT_TRUE(install.GetLayoutFilePaths(primary, companion, &primaryStaging, &companionStaging));
    EXPECT_EQ(U8(primary), U8(Folder(CSIDL_SYSTEM) + u"\\kbdkresk.dll"));
    EXPECT_TRUE(companion.IsEmpty());
    EXPECT_EQ(U8(primaryStaging), "C:\\Program Files\\Lipowa Labs\\Kreska\\kbdkresk.dll");
    EXPECT_TRUE(companionStaging.IsEmpty());
    ASSERT_TRUE(install.GetLayoutFilePaths(primary, companion, nullptr, nullptr));
}

TEST_F(PathsTest, LayoutLibraryPathsOfThisSystem) {
    ASSERT_TRUE(install.DetectEnvironment(58, 144));
    SetText(install.ProductDir, u"C:\\Program Files\\Lipowa Labs\\Kreska");
    wchar_t wow64[MAX_PATH + 1] = {0};
    const UINT wow64Length = GetSystemWow64DirectoryW(wow64, MAX_PATH + 1);
    EXPECT_EQ(install.Is64Bit, wow64Length != 0 ? 1 : 0);
    std::printf("64-bit Windows: %d\n", install.Is64Bit);
    GString primary, companion, primaryStaging, companionStaging;
    ASSERT_TRUE(install.GetLayoutFilePaths(primary, companion, &primaryStaging, &companionStaging));
    std::printf("primary %s\ncompanion %s\nstaging %s\ncompanion staging %s\n", U8(primary).c_str(),
                U8(companion).c_str(), U8(primaryStaging).c_str(), U8(companionStaging).c_str());
    if (install.Is64Bit) {
        EXPECT_EQ(U8(primary),
                  U8(std::u16string(reinterpret_cast<const char16_t*>(wow64)) + u"\\kbdkresk.dll"));
        EXPECT_EQ(U8(companion), U8(Folder(CSIDL_SYSTEM) + u"\\kbdkresk.dll"));
        EXPECT_EQ(U8(companionStaging), "C:\\Program Files\\Lipowa Labs\\Kreska\\kbdkresk.dll64");
    } else {
        EXPECT_EQ(U8(primary), U8(Folder(CSIDL_SYSTEM) + u"\\kbdkresk.dll"));
        EXPECT_TRUE(companion.IsEmpty());
        EXPECT_TRUE(companionStaging.IsEmpty());
    }
    EXPECT_EQ(U8(primaryStaging), "C:\\Program Files\\Lipowa Labs\\Kreska\\kbdkresk.dll");
}

class NoWow64ProcedureTest : public EngineTest {
protected:
    void AddTexts(std::vector<StringEntry>& common) override {
        for (StringEntry& e : ProductTexts()) {
            if (e.id == 60) e.utf8 = "NoSuchProcedure";
            common.push_back(e);
        }
    }
};

TEST_F(NoWow64ProcedureTest, SixtyFourBitPathsNeedTheProcedure) {
    install.Is64Bit = 1;
    GString primary, companion;
    EXPECT_EQ(install.GetLayoutFilePaths(primary, companion, nullptr, nullptr), 0);
    EXPECT_TRUE(primary.IsEmpty());
}

}  // namespace
