// Child processes, system libraries and procedures, shell shortcuts and associations under
// Wine. Programs and libraries planted next to this test program stand for files left in a
// download folder beside the installer.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "install/InstallWin32.h"
#include "tests/engine/EngineFixture.h"

namespace {

constexpr uint32_t kSleepProbeId = 1300;  // "%s" sleep 3000 "%s"
constexpr uint32_t kAttribId = 1301;      // attrib.exe +r "%s"
constexpr uint32_t kNoProgramId = 1302;
constexpr uint32_t kPlantOnlyId = 1303;
constexpr uint32_t kSystemLibraryId = 1304;
constexpr uint32_t kWithFolderId = 1305;
constexpr uint32_t kNoProcedureId = 1306;
constexpr uint32_t kUnknownAssocId = 1308;
constexpr uint32_t kMissingId = 9999;

const char16_t kPlantLibrary[] = u"kbengineplant.dll";

class SystemOpsTest : public EngineTest {
protected:
    void AddTexts(std::vector<StringEntry>& common) override {
        common.push_back(Entry(kSleepProbeId, "\"%s\" sleep 3000 \"%s\""));
        common.push_back(Entry(kAttribId, "attrib.exe +r \"%s\""));
        common.push_back(Entry(kNoProgramId, "kb-no-such-program.exe \"%s\""));
        common.push_back(Entry(kPlantOnlyId, "kbengineplant.dll"));
        common.push_back(Entry(kSystemLibraryId, "msimg32.dll"));
        common.push_back(Entry(kWithFolderId, ".\\kbengineplant.dll"));
        common.push_back(Entry(kNoProcedureId, "NoSuchProcedure"));
        common.push_back(Entry(kUnknownAssocId, ".kb-no-such-extension"));
        common.push_back(Entry(144, "kernel32.dll"));
        common.push_back(Entry(56, "Wow64DisableWow64FsRedirection"));
        common.push_back(Entry(57, "Wow64RevertWow64FsRedirection"));
        common.push_back(Entry(58, "GetNativeSystemInfo"));
    }
    void TearDown() override {
        for (const std::u16string& plant : plants) DeleteFileW(W(plant));
        EngineTest::TearDown();
    }
    // Copies a file of the test's build next to this program under another name.
    std::u16string Plant(const std::u16string& source, const std::u16string& name) {
        const std::u16string target = ProgramFolder() + u"\\" + name;
        EXPECT_TRUE(CopyFileW(W(ProgramFolder() + u"\\" + source), W(target), FALSE)) << U8(name);
        plants.push_back(target);
        return target;
    }
    static std::u16string SystemFolder() {
        wchar_t folder[MAX_PATH + 1] = {0};
        GetSystemDirectoryW(folder, MAX_PATH + 1);
        return reinterpret_cast<const char16_t*>(folder);
    }
    static bool WaitFor(const std::u16string& file, DWORD ms) {
        for (DWORD waited = 0; waited < ms; waited += 50) {
            if (FileExists(file)) return true;
            Sleep(50);
        }
        return FileExists(file);
    }
    static std::string Content(const std::u16string& file) {
        const std::vector<uint8_t> bytes = ReadWholeFile(file);
        return std::string(bytes.begin(), bytes.end());
    }
    void WriteText(const std::u16string& file, const char* text) {
        HANDLE h = CreateFileW(W(file), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(h, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
        CloseHandle(h);
    }
    std::vector<std::u16string> plants;
};

TEST_F(SystemOpsTest, RunCommandReturnsAfterAboutASecondWhileTheChildRuns) {
    const std::u16string probe = ProgramFolder() + u"\\engine_probe.exe";
    const std::u16string done = tempDir + u"\\child done.txt";
    const ULONGLONG start = GetTickCount64();
    EXPECT_TRUE(install.RunCommand(kSleepProbeId, probe.c_str(), done.c_str()));
    const ULONGLONG elapsed = GetTickCount64() - start;
    std::printf("RunCommand returned after %llu ms\n", elapsed);
    EXPECT_FALSE(FileExists(done)) << "the child should still be running";
    EXPECT_GE(elapsed, 900u);
    EXPECT_LT(elapsed, 2500u);
    // The child goes on by itself; its mark shows that it ran with both quoted paths intact.
    EXPECT_TRUE(WaitFor(done, 20000));
    EXPECT_EQ(Content(done), "done");
}

TEST_F(SystemOpsTest, RunCommandReportsSuccessWhenTheProgramCannotStart) {
    const std::u16string file = tempDir + u"\\x.txt";
    const ULONGLONG start = GetTickCount64();
    EXPECT_TRUE(install.RunCommand(kNoProgramId, file.c_str()));
    EXPECT_LT(GetTickCount64() - start, 1000u);
    EXPECT_EQ(install.RunCommand(0, file.c_str()), 0);
    EXPECT_EQ(install.RunCommand(kMissingId, file.c_str()), 0);
}

TEST_F(SystemOpsTest, ProgramNamedWithoutFolderRunsFromTheSystemDirectory) {
    const std::u16string file = tempDir + u"\\target file.txt";
    Plant(u"engine_probe.exe", u"attrib.exe");

    // The platform's own search prefers the planted copy beside the program.
    WriteText(file, "original");
    std::u16string line = u"attrib.exe +r \"" + file + u"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessW(nullptr, const_cast<wchar_t*>(W(line)), nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, &startup, &process));
    WaitForSingleObject(process.hProcess, 20000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    ASSERT_EQ(Content(file), "planted") << "the planted program was not found first";

    // The engine runs the system's attrib: the file turns read-only and keeps its content.
    WriteText(file, "original");
    EXPECT_TRUE(install.RunCommand(kAttribId, file.c_str()));
    bool readOnly = false;
    for (int i = 0; i < 400 && !readOnly; ++i) {
        readOnly = (GetFileAttributesW(W(file)) & FILE_ATTRIBUTE_READONLY) != 0;
        if (!readOnly) Sleep(50);
    }
    EXPECT_TRUE(readOnly);
    EXPECT_EQ(Content(file), "original");
    SetFileAttributesW(W(file), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(SystemOpsTest, LibrariesComeFromTheSystemDirectoryOnly) {
    // The plant is loadable by the ordinary search...
    HMODULE planted = LoadLibraryW(W(kPlantLibrary));
    ASSERT_NE(planted, nullptr);
    FreeLibrary(planted);
    // ...but not by the engine, by its name or through a relative folder.
    EXPECT_EQ(install.LoadLibraryById(kPlantOnlyId), nullptr);
    EXPECT_EQ(install.LoadLibraryById(kWithFolderId), nullptr);
    EXPECT_EQ(install.LoadLibraryById(kMissingId), nullptr);

    // A plant under a system library's name: the engine loads the system's file.
    Plant(kPlantLibrary, u"msimg32.dll");
    HMODULE system = ToWin(install.LoadLibraryById(kSystemLibraryId));
    ASSERT_NE(system, nullptr);
    wchar_t loaded[MAX_PATH + 1] = {0};
    GetModuleFileNameW(system, loaded, MAX_PATH + 1);
    const std::u16string loadedPath(reinterpret_cast<const char16_t*>(loaded));
    // A 32-bit program on 64-bit Windows may see its system files under the 32-bit folder.
    wchar_t wow64[MAX_PATH + 1] = {0};
    GetSystemWow64DirectoryW(wow64, MAX_PATH + 1);
    auto startsWith = [&](const std::u16string& folder) {
        return !folder.empty() && loadedPath.size() > folder.size() &&
               CompareStringOrdinal(W(loadedPath.substr(0, folder.size())), -1, W(folder), -1,
                                    TRUE) == CSTR_EQUAL;
    };
    EXPECT_TRUE(startsWith(SystemFolder() + u"\\") ||
                startsWith(std::u16string(reinterpret_cast<const char16_t*>(wow64)) + u"\\"))
        << U8(loadedPath);
    EXPECT_EQ(GetProcAddress(system, "KbPlanted"), nullptr);
    FreeLibrary(system);
}

TEST_F(SystemOpsTest, ProceduresAreFoundByName) {
    OsModule slot = nullptr;
    EXPECT_NE(install.GetProcById(58, 144, slot), nullptr);
    ASSERT_NE(slot, nullptr);
    const OsModule first = slot;
    EXPECT_NE(install.GetProcById(57, 144, slot), nullptr);
    EXPECT_EQ(slot, first);  // a filled slot is reused
    EXPECT_EQ(install.GetProcById(kNoProcedureId, 144, slot), nullptr);
    EXPECT_EQ(install.GetProcById(kMissingId, 144, slot), nullptr);
    FreeLibrary(ToWin(slot));

    OsModule none = nullptr;
    EXPECT_EQ(install.GetProcById(58, kMissingId, none), nullptr);
    EXPECT_EQ(none, nullptr);

    OsProc off = nullptr, on = nullptr;
    OsModule kernel = install.GetRedirectionProcs(off, on);
    ASSERT_NE(kernel, nullptr);
    EXPECT_NE(off, nullptr);
    EXPECT_NE(on, nullptr);
    FreeLibrary(ToWin(kernel));
}

class MissingRestoreTest : public SystemOpsTest {
protected:
    void AddTexts(std::vector<StringEntry>& common) override {
        SystemOpsTest::AddTexts(common);
        for (StringEntry& e : common) {
            if (e.id == 57) e.utf8 = "NoSuchProcedure";
        }
    }
};

TEST_F(MissingRestoreTest, RedirectionProcsNeedBothProcedures) {
    OsProc off = reinterpret_cast<OsProc>(1), on = reinterpret_cast<OsProc>(1);
    EXPECT_EQ(install.GetRedirectionProcs(off, on), nullptr);
    EXPECT_EQ(off, nullptr);
    EXPECT_EQ(on, nullptr);
}

TEST_F(SystemOpsTest, ShellLinkResolvesBackToItsTargetDescriptionAndIcon) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    const std::u16string target = tempDir + u"\\Kreska layout chart (Polish).htm";
    WriteText(target, "<html></html>");
    const std::u16string shortcut = tempDir + u"\\chart.lnk";
    const std::u16string icon = SystemFolder() + u"\\shell32.dll";
    GString targetText, shortcutText, description, iconText;
    SetText(targetText, target);
    SetText(shortcutText, shortcut);
    SetText(description, U16("Układ klawiatury Kreska"));
    SetText(iconText, icon);
    ASSERT_TRUE(install.CreateShellLink(targetText, shortcutText, description, &iconText, 3));
    ASSERT_TRUE(FileExists(shortcut));

    IShellLinkW* link = nullptr;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IShellLinkW, reinterpret_cast<void**>(&link))));
    IPersistFile* file = nullptr;
    ASSERT_TRUE(SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))));
    ASSERT_TRUE(SUCCEEDED(file->Load(W(shortcut), STGM_READ)));
    wchar_t buffer[MAX_PATH + 1] = {0};
    ASSERT_TRUE(SUCCEEDED(link->GetPath(buffer, MAX_PATH + 1, nullptr, 0)));
    EXPECT_EQ(U8(reinterpret_cast<const char16_t*>(buffer)), U8(target));
    ASSERT_TRUE(SUCCEEDED(link->GetDescription(buffer, MAX_PATH + 1)));
    EXPECT_EQ(U8(reinterpret_cast<const char16_t*>(buffer)), "Układ klawiatury Kreska");
    int index = -1;
    ASSERT_TRUE(SUCCEEDED(link->GetIconLocation(buffer, MAX_PATH + 1, &index)));
    EXPECT_EQ(U8(reinterpret_cast<const char16_t*>(buffer)), U8(icon));
    EXPECT_EQ(index, 3);
    file->Release();
    link->Release();

    // A shortcut that cannot be saved is reported as not made.
    SetText(shortcutText, tempDir + u"\\absent\\chart.lnk");
    EXPECT_EQ(install.CreateShellLink(targetText, shortcutText, description, nullptr, 0), 0);
    CoUninitialize();
}

// Associations are registered for the test: a document class of its own, opened by the probe
// program. Wine reads classes only from the machine's classes key and answers no association
// for file extensions, so the class is named directly.
class AssociationTest : public SystemOpsTest {
protected:
    void AddTexts(std::vector<StringEntry>& common) override {
        SystemOpsTest::AddTexts(common);
        extension = u".kbtest" + std::u16string(U16(std::to_string(GetCurrentProcessId())));
        common.push_back(Entry(kTestAssocId, "KbTest.Document" + U8(extension)));
        common.push_back(Entry(kProbeNeedleId, "ENGINE_PROBE.EXE"));
        common.push_back(Entry(kProbeLowerId, "engine_probe.exe"));
        common.push_back(Entry(2, "\"%s\" \"%s\""));
    }
    void SetUp() override {
        SystemOpsTest::SetUp();
        progId = u"KbTest.Document" + extension;
        const std::u16string command = u"\"" + ProgramFolder() + u"\\engine_probe.exe\" \"%1\"";
        SetValue(u"Software\\Classes\\" + progId + u"\\shell\\open\\command", command);
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, W(u"Software\\Classes\\" + progId));
        SystemOpsTest::TearDown();
    }
    static void SetValue(const std::u16string& key, const std::u16string& value) {
        HKEY handle = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, W(key), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &handle, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * 2));
        RegCloseKey(handle);
    }
    static constexpr uint32_t kTestAssocId = 1320;
    static constexpr uint32_t kProbeNeedleId = 1321;
    static constexpr uint32_t kProbeLowerId = 1322;
    std::u16string extension;
    std::u16string progId;
};

TEST_F(AssociationTest, AssociatedProgramIsFoundAndMatchedInUpperCase) {
    GString program;
    ASSERT_TRUE(install.QueryAssociatedExe(kTestAssocId, program));
    EXPECT_EQ(U8(program), U8(ProgramFolder() + u"\\engine_probe.exe"));
    EXPECT_TRUE(install.AssociatedExeContains(kTestAssocId, kProbeNeedleId));
    // The path is upper-cased, the needle is taken as it stands.
    EXPECT_EQ(install.AssociatedExeContains(kTestAssocId, kProbeLowerId), 0);
    EXPECT_EQ(install.AssociatedExeContains(kTestAssocId, kMissingId), 0);
    EXPECT_EQ(install.QueryAssociatedExe(kUnknownAssocId, program), 0);
    EXPECT_TRUE(program.IsEmpty());
    EXPECT_EQ(install.AssociatedExeContains(kUnknownAssocId, kProbeNeedleId), 0);
}

TEST_F(AssociationTest, OpenWithAssociatedHandsTheQuotedPathToTheProgram) {
    const std::u16string document = tempDir + u"\\a document with spaces.txt";
    EXPECT_TRUE(install.OpenWithAssociated(kTestAssocId, 2, document.c_str()));
    // The probe marks its last argument: the whole path arrived as one argument.
    EXPECT_TRUE(WaitFor(document, 20000));
    EXPECT_EQ(Content(document), "planted");
    EXPECT_EQ(install.OpenWithAssociated(kUnknownAssocId, 2, document.c_str()), 0);
}

}  // namespace
