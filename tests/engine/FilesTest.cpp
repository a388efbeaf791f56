// Files and folders against the Wine file system, inside a fresh temporary folder per test.
#include <windows.h>
#include <shlobj.h>

#include <cstring>

#include "install/InstallWin32.h"
#include "tests/engine/EngineFixture.h"

namespace {

constexpr uint32_t kPrefixId = 1200;  // "kbt"
constexpr uint32_t kStringFileNew = 67;
constexpr uint32_t kStringFileOld = 68;

class FilesTest : public EngineTest {
protected:
    void AddTexts(std::vector<StringEntry>& common) override {
        common.push_back(Entry(kPrefixId, "kbt"));
        common.push_back(Entry(kStringFileNew, "Nowy plik: zażółć\r\n"));
        common.push_back(Entry(kStringFileOld, "Old file\r\n"));
    }
    std::u16string In(const std::u16string& name) { return tempDir + u"\\" + name; }
    GString& Path(const std::u16string& text) {
        SetText(path, text);
        return path;
    }
    void Touch(const std::u16string& file) {
        HANDLE h = CreateFileW(W(file), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        CloseHandle(h);
    }
    GString path;
};

// The delayed operations the system will carry out at the next restart, as "\??\path" entries.
std::vector<std::u16string> PendingDeletions() {
    std::vector<std::u16string> out;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, W(u"System\\CurrentControlSet\\Control\\Session Manager"),
                      0, KEY_READ, &key) != ERROR_SUCCESS)
        return out;
    DWORD size = 0;
    if (RegQueryValueExW(key, W(u"PendingFileRenameOperations"), nullptr, nullptr, nullptr,
                         &size) == ERROR_SUCCESS &&
        size >= 2) {
        std::u16string data(size / 2, u'\0');
        RegQueryValueExW(key, W(u"PendingFileRenameOperations"), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(&data[0]), &size);
        // Pairs of source and target; an empty target means deletion.
        size_t at = 0;
        while (at < data.size() && data[at] != 0) {
            const std::u16string source = data.c_str() + at;
            at += source.size() + 1;
            const std::u16string target = at < data.size() ? data.c_str() + at : u"";
            at += target.size() + 1;
            if (target.empty()) out.push_back(source);
        }
    }
    RegCloseKey(key);
    return out;
}

bool Contains(const std::vector<std::u16string>& list, const std::u16string& path) {
    for (const std::u16string& item : list) {
        if (item == u"\\??\\" + path) return true;
    }
    return false;
}

TEST_F(FilesTest, TemporaryFolderAndFiles) {
    GString temp;
    ASSERT_TRUE(install.GetTempDir(temp));
    EXPECT_EQ(TextOf(temp).back(), u'\\');

    GString made;
    ASSERT_TRUE(install.MakeTempFile(made, kPrefixId, &Path(tempDir)));
    const std::u16string name = TextOf(made);
    EXPECT_EQ(name.rfind(tempDir + u"\\kbt", 0), 0u) << U8(name);
    EXPECT_TRUE(FileExists(name));
    EXPECT_TRUE(ReadWholeFile(name).empty());

    // Without a folder: in the temporary folder. A prefix id of 0 or a missing one fails.
    ASSERT_TRUE(install.MakeTempFile(made, kPrefixId, nullptr));
    EXPECT_EQ(TextOf(made).rfind(TextOf(temp), 0), 0u);
    DeleteFileW(W(TextOf(made)));
    EXPECT_EQ(install.MakeTempFile(made, 0, &Path(tempDir)), 0);
    EXPECT_EQ(install.MakeTempFile(made, 9999, &Path(tempDir)), 0);
    EXPECT_TRUE(made.IsEmpty());
    // A folder whose names leave no room within MAX_PATH, and one that does not exist.
    EXPECT_EQ(install.MakeTempFile(made, kPrefixId, &Path(In(std::u16string(300, u'd')))), 0);
    EXPECT_EQ(install.MakeTempFile(made, kPrefixId, &Path(In(u"absent"))), 0);
}

TEST_F(FilesTest, SpecialFoldersAndAFolderThatDoesNotExist) {
    GString folder;
    ASSERT_TRUE(install.GetSpecialFolder(CSIDL_PROGRAM_FILES, folder));
    EXPECT_TRUE(FileExists(TextOf(folder))) << U8(folder);
    // A folder id the platform does not know: a clear failure with an empty text.
    EXPECT_EQ(install.GetSpecialFolder(0x7F, folder), 0);
    EXPECT_TRUE(folder.IsEmpty());
}

TEST_F(FilesTest, PathsBeyondMaxPathFailWithoutSchedulingAnything) {
    const std::vector<std::u16string> before = PendingDeletions();
    const std::u16string longName = In(std::u16string(300, u'q') + u"\\file.txt");
    const std::u16string atLimit = In(std::u16string(MAX_PATH - tempDir.size() - 2, u'r'));
    ASSERT_EQ(atLimit.size(), static_cast<size_t>(MAX_PATH - 1));
    for (const std::u16string& path : {longName, atLimit}) {
        SCOPED_TRACE(path.size());
        EXPECT_TRUE(install.DeleteOrSchedule(Path(path)));  // there is no such file
        EXPECT_EQ(install.RemoveDir(Path(path)), 0);
    }
    EXPECT_EQ(PendingDeletions(), before);
    // A file name of MAX_PATH - 1 characters in all can still be made and deleted.
    OsFile file = install.CreateOutputFile(Path(atLimit));
    ASSERT_NE(file, nullptr);
    CloseHandle(ToWin(file));
    EXPECT_TRUE(install.DeleteOrSchedule(Path(atLimit)));
    EXPECT_FALSE(FileExists(atLimit));
}

TEST_F(FilesTest, OutputFilesTakeBytesAndUtf8Text) {
    const std::u16string file = In(u"out.txt");
    OsFile out = install.CreateOutputFile(Path(file));
    ASSERT_NE(out, nullptr);
    const uint8_t bytes[] = {0, 1, 2, 0xFF};
    EXPECT_TRUE(install.WriteFileBytes(out, bytes, 4));
    EXPECT_EQ(install.WriteFileBytes(out, nullptr, 4), 0);
    EXPECT_EQ(install.WriteFileBytes(out, bytes, 0), 0);
    EXPECT_EQ(install.WriteFileBytes(nullptr, bytes, 4), 0);
    GString text;
    SetText(text, U16("Łódź ☺"));
    EXPECT_TRUE(install.WriteFileText(out, text));
    CloseHandle(ToWin(out));

    std::vector<uint8_t> expected = {0, 1, 2, 0xFF};
    const std::string utf8 = "Łódź ☺";  // no byte-order mark, no terminating NUL
    expected.insert(expected.end(), utf8.begin(), utf8.end());
    EXPECT_EQ(ReadWholeFile(file), expected);
}

TEST_F(FilesTest, EmptyTextFailsAndLeavesTheFileEmpty) {
    const std::u16string file = In(u"empty.txt");
    OsFile out = install.CreateOutputFile(Path(file));
    ASSERT_NE(out, nullptr);
    GString empty;
    EXPECT_EQ(install.WriteFileText(out, empty), 0);
    CloseHandle(ToWin(out));
    EXPECT_TRUE(FileExists(file));
    EXPECT_TRUE(ReadWholeFile(file).empty());
}

TEST_F(FilesTest, OutputFileFailsClearly) {
    GString empty;
    EXPECT_EQ(install.CreateOutputFile(empty), nullptr);
    EXPECT_EQ(install.CreateOutputFile(Path(In(u"absent\\x.txt"))), nullptr);
    // Past MAX_PATH without the long-path prefix.
    EXPECT_EQ(install.CreateOutputFile(Path(In(std::u16string(400, u'n')))), nullptr);
}

TEST_F(FilesTest, DeleteOrScheduleOfMissingFilesSucceedsWithoutScheduling) {
    const std::vector<std::u16string> before = PendingDeletions();
    EXPECT_TRUE(install.DeleteOrSchedule(Path(In(u"absent.txt"))));
    EXPECT_TRUE(install.DeleteOrSchedule(Path(In(u"absent\\absent.txt"))));
    EXPECT_EQ(PendingDeletions(), before);
    GString empty;
    EXPECT_EQ(install.DeleteOrSchedule(empty), 0);

    const std::u16string file = In(u"present.txt");
    Touch(file);
    EXPECT_TRUE(install.DeleteOrSchedule(Path(file)));
    EXPECT_FALSE(FileExists(file));
    EXPECT_EQ(PendingDeletions(), before);
}

TEST_F(FilesTest, DeleteOrScheduleOfAFileInUseSchedulesItForTheRestart) {
    const std::u16string file = In(u"held.txt");
    HANDLE held =
        CreateFileW(W(file), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(install.DeleteOrSchedule(Path(file)));
    EXPECT_TRUE(FileExists(file));
    EXPECT_TRUE(Contains(PendingDeletions(), file));
    CloseHandle(held);

    // Undo the scheduling: the restart test carries one out for real in a prefix of its own.
    HKEY key = nullptr;
    ASSERT_EQ(
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, W(u"System\\CurrentControlSet\\Control\\Session Manager"),
                      0, KEY_ALL_ACCESS, &key),
        ERROR_SUCCESS);
    DWORD size = 0;
    RegQueryValueExW(key, W(u"PendingFileRenameOperations"), nullptr, nullptr, nullptr, &size);
    std::u16string data(size / 2, u'\0');
    RegQueryValueExW(key, W(u"PendingFileRenameOperations"), nullptr, nullptr,
                     reinterpret_cast<BYTE*>(&data[0]), &size);
    const std::u16string entry = u"\\??\\" + file + std::u16string(2, u'\0');
    const size_t at = data.find(entry);
    ASSERT_NE(at, std::u16string::npos);
    data.erase(at, entry.size());
    if (data.find_first_not_of(u'\0') == std::u16string::npos) {
        RegDeleteValueW(key, W(u"PendingFileRenameOperations"));
    } else {
        RegSetValueExW(key, W(u"PendingFileRenameOperations"), 0, REG_MULTI_SZ,
                       reinterpret_cast<const BYTE*>(data.data()),
                       static_cast<DWORD>(data.size() * 2));
    }
    RegCloseKey(key);
    EXPECT_FALSE(Contains(PendingDeletions(), file));
}

TEST_F(FilesTest, FoldersAreMadeAndRemovedOneLevelAtATime) {
    const std::u16string folder = In(u"one");
    EXPECT_TRUE(install.EnsureDir(Path(folder)));
    EXPECT_TRUE(install.EnsureDir(Path(folder)));  // already there
    EXPECT_EQ(install.EnsureDir(Path(In(u"missing\\two"))), 0);
    EXPECT_FALSE(FileExists(In(u"missing")));
    GString empty;
    EXPECT_EQ(install.EnsureDir(empty), 0);
    EXPECT_EQ(install.EnsureDir(Path(In(std::u16string(300, u'p')))), 0);

    // A file of that name is not a folder.
    Touch(In(u"plain"));
    EXPECT_EQ(install.EnsureDir(Path(In(u"plain"))), 0);

    Touch(folder + u"\\inside.txt");
    EXPECT_EQ(install.RemoveDir(Path(folder)), 0);  // not empty
    DeleteFileW(W(folder + u"\\inside.txt"));
    EXPECT_TRUE(install.RemoveDir(Path(folder)));
    EXPECT_FALSE(FileExists(folder));
    EXPECT_EQ(install.RemoveDir(empty), 0);
}

TEST_F(FilesTest, PayloadFileIsTheUnpackedBlob) {
    std::vector<uint8_t> plain(10000);
    for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>(i * 7 + i / 256);
    const std::vector<uint8_t> blob = tables.Seal(plain, 0);
    ASSERT_FALSE(blob.empty());
    const std::u16string file = In(u"doc.htm");
    EXPECT_TRUE(
        install.WritePayloadFile(Path(file), blob.data(), static_cast<uint32_t>(blob.size())));
    EXPECT_EQ(ReadWholeFile(file), plain);

    // A damaged blob: no file at all.
    std::vector<uint8_t> damaged = blob;
    damaged[damaged.size() / 2] ^= 0x40;
    const std::u16string other = In(u"damaged.htm");
    EXPECT_EQ(install.WritePayloadFile(Path(other), damaged.data(),
                                       static_cast<uint32_t>(damaged.size())),
              0);
    EXPECT_FALSE(FileExists(other));
    EXPECT_EQ(install.WritePayloadFile(Path(other), nullptr, 0), 0);
}

TEST_F(FilesTest, StringFileDependsOnTheWindowsVersion) {
    struct Case {
        int32_t os;
        const char* expected;
    };
    for (const Case& c : {Case{50, "Old file\r\n"}, Case{51, "Nowy plik: zażółć\r\n"},
                          Case{100, "Nowy plik: zażółć\r\n"}}) {
        SCOPED_TRACE(c.os);
        install.OsVersion = c.os;
        const std::u16string file = In(u"note.txt");
        ASSERT_TRUE(install.WriteStringFile(Path(file)));
        const std::vector<uint8_t> bytes = ReadWholeFile(file);
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), c.expected);
    }
}

}  // namespace
