// The installer object: owns the key guard, the four string tables, the working key table, the
// wizard controller, every install path and every setting the user chooses. The engine's
// operations are its methods, defined one area per source file.
//
// Portability. This header names no Win32 type: platform handles are opaque pointer types
// (OsModule, OsWindow, OsKey, OsFile, OsProc) so that the object, its string look-up and its key
// table build and test on any host. The Win32 sources convert at the boundary with the helpers
// of install/InstallWin32.h (which also gives the predefined registry roots). Sources:
//   portable (library kbcore): InstallObject.cpp (construction, release, destruction),
//     InstallStrings.cpp (string look-up, language index, licence texts),
//     InstallInit.cpp (Init over a set of stored tables), engine/KeyTable.cpp
//   wizard seam: the owner-window query and the wizard's creation and deletion live with the
//     user interface, so the portable core links without it (InstallNoWizard.cpp, object
//     library kbnowizard, stands in until then, and for the portable tests)
//   stored tables: ProgramInstallTables (InstallProgramData.cpp, object library
//     kbprogramtables) maps the generated program data; tests link fixture tables instead
//   Windows (library kbinstall): install/engine/*.cpp for detection, registry, files, paths,
//     remapping store and the later engine areas
// Buffers that an operation hands to its caller (ReadBytes, BuildKeyRemaps, DecodeHexPattern)
// are malloc'ed and freed with std::free, like unpacked blobs.
#pragma once

#include <cstdint>
#include <memory>

#include "install/engine/KeyTable.h"
#include "payload/BlobFormat.h"
#include "payload/Guard.h"
#include "payload/StringTable.h"
#include "text/GString.h"

class CWizard;

// Opaque platform handles; null means none.
struct OsModuleTag;
struct OsWindowTag;
struct OsKeyTag;
struct OsFileTag;
using OsModule = OsModuleTag*;  // module or instance handle
using OsWindow = OsWindowTag*;  // window handle
using OsKey = OsKeyTag*;        // registry key, predefined roots included
using OsFile = OsFileTag*;      // open file; null on failure (never the invalid-handle value)
using OsProc = void (*)();      // procedure address, cast to its real type by the caller

// The stored data that Init reads: the key block and the four string-table blobs. Init takes the
// program's own; tests hand InitFrom a set packed from fixture texts.
struct InstallTables {
    BlobRef keyBlock{nullptr, 0};
    BlobRef common{nullptr, 0};
    BlobRef supplementary{nullptr, 0};
    BlobRef language[2]{{nullptr, 0}, {nullptr, 0}};
};

// The program's stored tables, defined beside the generated program data.
const InstallTables& ProgramInstallTables();

// Message-box types used at start-up.
constexpr uint32_t kMessageWarning = 0x30;
constexpr uint32_t kMessagePlain = 0;

class CInstallBase {
public:
    CInstallBase();
    CInstallBase(const CInstallBase&) = delete;
    CInstallBase& operator=(const CInstallBase&) = delete;

    // Virtual operations, in slot order.
    virtual OsWindow GetOwnerWindow();                         // slot 0: none
    virtual int Init(OsModule module);                         // slot 1: stores the module
    virtual void Release();                                    // slot 2: tables, key wipe
    virtual const CountedText* FindString(uint32_t id) const;  // slot 3: language, common
    virtual ~CInstallBase();                                   // slot 4

    OsModule ModuleHandle = nullptr;
    CGuard Guard;
    CStringTable CommonTable;
    CStringTable LanguageTables[2];
    int32_t PageCode = 0;
    int32_t OsVersion = 0;   // major * 10 + minor; 0 until detected
    int32_t UiLanguage = 0;  // 0 or 1: which language table is searched first
    int32_t Is64Bit = 0;
    int16_t ProcessorArchitecture = -1;  // 0 x86, 6 Itanium, 9 x64; -1 until detected
    GString WorkText;                    // scratch for fetched names and numbers
};

class CInstall : public CInstallBase {
public:
    CInstall();
    ~CInstall() override;

    OsWindow GetOwnerWindow() override;  // the main window, or none
    int Init(OsModule module) override;  // the program's stored tables
    void Release() override;             // base release, then the supplementary table
    const CountedText* FindString(uint32_t id) const override;  // ... then supplementary

    // Init over the given stored tables; 1 when ready to run, 0 when the program cannot start.
    int InitFrom(OsModule module, const InstallTables& tables);

    // --- string tables and licence texts ---
    // The text of string `id`, always wide; 0 with `out` empty when the id is missing.
    int GetString(uint32_t id, GString& out) const;
    int SetLanguageIndex(int32_t index);
    // Unpacks a licence text (UTF-8, optional byte-order mark dropped) into `out`, narrow.
    int LoadTextBlob(const uint8_t* blob, uint32_t size, GString& out);

    // --- start-up and main flow ---
    int Run();
    void Finish();
    int ShowMessage(uint32_t id, uint32_t type);

    // --- environment detection and pre-checks ---
    int DetectEnvironment(uint32_t procedureId, uint32_t libraryId);
    int IsSupportedPlatform() const;
    int ActivateRunningCopy();  // 1: no running copy, go on; 0: one was brought to the front
    int IsAdministrator();
    int RestartWindows();

    // --- payload selection ---
    int SelectPayload(BlobRef& primary, BlobRef& companion) const;

    // --- registry: by string id (missing id fails before the registry is touched) ---
    OsKey OpenKey(OsKey parent, uint32_t subkeyId, uint32_t access);
    OsKey CreateKey(OsKey parent, uint32_t subkeyId, uint32_t access);
    int ReadDword(OsKey key, uint32_t nameId, uint32_t& out);
    int WriteDword(OsKey key, uint32_t nameId, uint32_t value);
    int ReadString(OsKey key, uint32_t nameId, GString& out);
    int WriteString(OsKey key, uint32_t nameId, const GString& value);
    int WriteStringId(OsKey key, uint32_t nameId, uint32_t dataId);
    uint8_t* ReadBytes(OsKey key, uint32_t nameId, uint32_t& outCount);
    int WriteBytes(OsKey key, uint32_t nameId, const uint8_t* bytes, uint32_t count);
    int ValueEquals(OsKey key, uint32_t nameId, const GString& expected);
    int DeleteValue(OsKey key, uint32_t nameId);
    int DeleteKey(OsKey parent, uint32_t subkeyId);
    int WriteMachineString(uint32_t keyId, uint32_t nameId, uint32_t dataId);
    // --- registry: by text ---
    OsKey OpenKey(OsKey parent, const char16_t* subkey, uint32_t access);
    OsKey CreateKey(OsKey parent, const char16_t* subkey, uint32_t access);
    int ReadDword(OsKey key, const char16_t* name, uint32_t& out);
    int WriteDword(OsKey key, const char16_t* name, uint32_t value);
    int ReadString(OsKey key, const char16_t* name, GString& out);
    int WriteString(OsKey key, const char16_t* name, const GString& value);
    uint8_t* ReadBytes(OsKey key, const char16_t* name, uint32_t& outCount);
    int WriteBytes(OsKey key, const char16_t* name, const uint8_t* bytes, uint32_t count);
    int ValueEquals(OsKey key, const char16_t* name, const GString& expected);
    int DeleteValue(OsKey key, const char16_t* name);
    int DeleteKey(OsKey parent, const char16_t* subkey);

    // --- files, folders, shortcuts, associations, processes, procedures ---
    int GetSpecialFolder(int csidl, GString& out);
    int GetTempDir(GString& out);
    int MakeTempFile(GString& out, uint32_t prefixId, const GString* directory);
    OsFile CreateOutputFile(const GString& path);  // the caller closes the file
    int WriteFileBytes(OsFile file, const uint8_t* bytes, uint32_t count);
    int WriteFileText(OsFile file, const GString& text);
    int DeleteOrSchedule(const GString& path);
    int RemoveDir(const GString& path);
    int EnsureDir(const GString& path);
    int CreateShellLink(const GString& target, const GString& shortcut, const GString& description,
                        const GString* icon, int iconIndex);
    int QueryAssociatedExe(uint32_t associationId, GString& out);
    int AssociatedExeContains(uint32_t associationId, uint32_t needleId);
    // Formats template `templateId` with the arguments (wide formatting) and starts it.
    int RunCommand(uint32_t templateId, ...);
    int OpenWithAssociated(uint32_t associationId, uint32_t templateId, const char16_t* argument);
    int OpenInfoDocument();
    OsModule LoadLibraryById(uint32_t libraryId);
    // Loads the library into `slot` when the slot is empty; the caller frees the slot's module.
    OsProc GetProcById(uint32_t procedureId, uint32_t libraryId, OsModule& slot);
    OsModule GetRedirectionProcs(OsProc& turnOff, OsProc& restore);
    int GetLayoutFilePaths(GString& primaryFinal, GString& companionFinal, GString* primaryStaging,
                           GString* companionStaging);
    int ComputeInstallPaths();
    int WritePayloadFile(const GString& path, const uint8_t* blob, uint32_t size);
    int WriteStringFile(const GString& path);

    // --- key remapping store ---
    const KeyEntry* FindDefaultKey(uint16_t scanCode) const;
    KeyEntry* FindKey(uint16_t scanCode);
    int NormalizeKeys();
    int LoadKeyRemaps(uint8_t* buffer, uint32_t size);  // takes the buffer over and frees it
    uint8_t* BuildKeyRemaps(uint32_t& outSize);
    void ReadScancodeMap();
    int WriteScancodeMap();

    // --- layout defaults ---
    int32_t GetLayoutVariant();
    int32_t SetLayoutVariant(int32_t value);
    int32_t GetDecimalKey();
    int32_t SetDecimalKey(int32_t value);

    // --- settings, in order ---
    uint16_t LayoutLangId = 0;
    uint16_t TargetLangId = 0;
    int32_t LanguageScriptOption = 1;
    int32_t AssocMatch = 0;
    int32_t IsAdmin = 0;
    int32_t UninstallDone = 0;
    int32_t InstallDone = 0;
    int32_t RestartRequested = 0;
    int32_t LicenceAccepted = 0;
    int32_t UserValuesOption = 1;
    int32_t DesktopLinksOption = 1;
    int32_t TextDesktopLinkMade = 0;
    int32_t ProductDocDesktopLinkMade = 0;
    int32_t SharedDocDesktopLinkMade = 0;
    int32_t LayoutVariant = -1;
    int32_t DecimalKeyMode = -1;
    int32_t AltSetFlagA = 0;
    int32_t AltSetFlagB = 0;
    int32_t UpdateMode = 0;
    int32_t ScancodeMapSeen = 0;
    std::unique_ptr<KeyEntry[]> KeyTable;  // working key table, KeyCount rows
    int32_t KeyCount = kKeyTableRows;
    CStringTable SupplementaryTable;
    CWizard* Wizard = nullptr;  // owned; created by Init with the user interface

    // Paths: current ones computed at start-up, "Recorded" ones read from an earlier install.
    GString LanguageName;
    GString FirstInstallLocale;
    GString VendorDir;
    GString ProductDir;
    GString VendorMenuDir;
    GString ProductMenuDir;
    GString RecordedProductDocFile;
    GString ProductDocFile;
    GString RecordedProductDocMenuLink;
    GString ProductDocMenuLink;
    GString RecordedProductDocDesktopLink;
    GString ProductDocDesktopLink;
    GString RecordedSharedDocFile;
    GString SharedDocFile;
    GString RecordedSharedDocMenuLink;
    GString SharedDocMenuLink;
    GString RecordedSharedDocDesktopLink;
    GString SharedDocDesktopLink;
    GString RecordedTextFile;
    GString TextFile;
    GString RecordedTextMenuLink;
    GString TextMenuLink;
    GString RecordedTextDesktopLink;
    GString TextDesktopLink;
    GString RecordedMenuPointerFile;
    GString MenuPointerFile;
    GString RecordedDesktopPointerFile;
    GString DesktopPointerFile;
    GString RecordedPointerTarget;
    GString PointerTarget;
    GString InstallerPath;
    GString InstallerLinkTitle;
    GString RecordedInstallerCopy;
    GString InstallerCopy;
    GString RecordedInstallerMenuLink;
    GString InstallerMenuLink;

    int32_t SharedDocVersion = 0;
    int32_t ProductDocVersion = 0;
    int32_t ProductDocUseCount = 0;
    int32_t InstalledVersion = 0;  // 0 none, 130 earlier release, 190 this release
    int32_t SharedUseCount = 0;

private:
    // With the user interface (see the top of this file): create the controller and its
    // Init (module); delete it. Without one, creation succeeds and leaves Wizard none.
    int CreateWizard(OsModule module);
    void DeleteWizard();
};
