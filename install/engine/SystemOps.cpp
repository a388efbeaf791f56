// Shell shortcuts, file associations, child processes and system libraries. Libraries and
// programs named without a folder come from the system directory only: the installer runs as
// administrator from a download folder, where anyone may have left a file of the same name.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdarg>
#include <memory>

#include "install/InstallWin32.h"
#include "install/engine/WinHandles.h"
#include "text/WinText.h"

namespace {

constexpr DWORD kAssocChars = 2048;
constexpr DWORD kChildWaitMs = 1000;

bool HasFolderPart(const GString& name) {
    const char16_t* text = name.WideText(0);
    for (int i = 0; i < name.Length(); ++i) {
        if (text[i] == u'\\' || text[i] == u'/' || text[i] == u':') return true;
    }
    return false;
}

// The system directory joined with a bare file name; 0 when the folder cannot be had.
int SystemFilePath(const char16_t* name, int count, GString& out) {
    wchar_t folder[MAX_PATH + 1] = {0};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) return 0;
    if (!out.AssignWide(reinterpret_cast<const char16_t*>(folder), static_cast<int>(length)))
        return 0;
    out.AppendPath(name, count);
    return 1;
}

// Without the search flags (systems lacking the loader update that added them), a full path
// with the altered search order keeps the library's own imports in the system directory too.
bool SystemSearchFlagsAvailable() {
    const HMODULE kernel = GetModuleHandleW(WinText(u"kernel32.dll"));
    return kernel != nullptr && GetProcAddress(kernel, "AddDllDirectory") != nullptr;
}

// The program of a command line when it is named without a folder: the process search would
// look in the installer's own folder first, so the caller names the system's copy instead.
int SystemProgramOf(const GString& commandLine, GString& application) {
    const char16_t* text = commandLine.WideText(0);
    const int length = commandLine.Length();
    int start = 0;
    while (start < length && (text[start] == u' ' || text[start] == u'\t')) ++start;
    int end = start;
    if (start < length && text[start] == u'"') {
        ++start;
        end = start;
        while (end < length && text[end] != u'"') ++end;
    } else {
        while (end < length && text[end] != u' ' && text[end] != u'\t') ++end;
    }
    if (end == start) return 0;
    GString program;
    if (!program.AssignWide(text + start, end - start) || HasFolderPart(program)) return 0;
    // The process search adds ".exe" to a name without an extension; an application name is
    // taken as it stands.
    bool hasExtension = false;
    for (int i = 0; i < program.Length(); ++i) hasExtension |= program.WideText(0)[i] == u'.';
    if (!hasExtension) program.AppendWide(u".exe", 4);
    return SystemFilePath(program.WideText(0), program.Length(), application);
}

}  // namespace

int CInstall::CreateShellLink(const GString& target, const GString& shortcut,
                              const GString& description, const GString* icon, int iconIndex) {
    GString targetText, shortcutText, descriptionText, iconText;
    if (!targetText.AssignAsWide(&target) || !shortcutText.AssignAsWide(&shortcut) ||
        !descriptionText.AssignAsWide(&description))
        return 0;
    if (icon != nullptr && !iconText.AssignAsWide(icon)) return 0;

    ComHolder<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(link.Receive()))))
        return 0;
    link.Get()->SetPath(WinText(targetText.WideText(0)));
    link.Get()->SetDescription(WinText(descriptionText.WideText(0)));
    if (icon != nullptr) link.Get()->SetIconLocation(WinText(iconText.WideText(0)), iconIndex);

    ComHolder<IPersistFile> file;
    if (FAILED(
            link.Get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Receive()))))
        return 0;
    // The shortcut exists only when the save succeeded; the install records what it made.
    return SUCCEEDED(file.Get()->Save(WinText(shortcutText.WideText(0)), TRUE)) ? 1 : 0;
}

int CInstall::QueryAssociatedExe(uint32_t associationId, GString& out) {
    out.AssignWide(u"", 0);
    GString association;
    if (!GetString(associationId, association)) return 0;
    wchar_t path[kAssocChars] = {0};
    DWORD chars = kAssocChars;
    if (FAILED(AssocQueryStringW(0, ASSOCSTR_EXECUTABLE, WinText(association.WideText(0)), nullptr,
                                 path, &chars)))
        return 0;
    path[kAssocChars - 1] = 0;
    return out.AssignWideCString(reinterpret_cast<const char16_t*>(path));
}

int CInstall::AssociatedExeContains(uint32_t associationId, uint32_t needleId) {
    GString association, needle;
    if (!GetString(associationId, association) || !GetString(needleId, needle) || needle.IsEmpty())
        return 0;
    const wchar_t* name = WinText(association.WideText(0));

    GString path;
    DWORD chars = kAssocChars;
    char16_t* buffer = path.WideBuffer(static_cast<int>(chars));
    if (buffer == nullptr) return 0;
    HRESULT result =
        AssocQueryStringW(0, ASSOCSTR_EXECUTABLE, name, nullptr, WinText(buffer), &chars);
    if (result == E_POINTER) {
        // The platform reported the size it needs, terminator included.
        if (chars <= kAssocChars || chars > 0x100000) return 0;
        path.AssignWide(u"", 0);
        buffer = path.WideBuffer(static_cast<int>(chars));
        if (buffer == nullptr) return 0;
        result = AssocQueryStringW(0, ASSOCSTR_EXECUTABLE, name, nullptr, WinText(buffer), &chars);
    }
    if (FAILED(result)) return 0;
    path.SetLength(-1);
    path.ToUpper();
    return path.Find(needle.WideText(0), 0, needle.Length()) >= 0 ? 1 : 0;
}

int CInstall::RunCommand(uint32_t templateId, ...) {
    if (templateId == 0) return 0;
    GString format;
    if (!GetString(templateId, format)) return 0;
    GString commandLine;
    commandLine.AssignWide(u"", 0);
    va_list args;
    va_start(args, templateId);
    const int formatted = commandLine.AppendFormatV(format.WideText(0), args);
    va_end(args);
    if (!formatted) return 0;

    GString application;
    const bool systemProgram = SystemProgramOf(commandLine, application) != 0;

    // CreateProcessW may write into the command line, so it gets a copy of its own.
    const int units = commandLine.Length();
    std::unique_ptr<wchar_t[]> line(new (std::nothrow) wchar_t[static_cast<size_t>(units) + 1]);
    if (!line) return 0;
    const char16_t* text = commandLine.WideText(0);
    for (int i = 0; i < units; ++i) line[i] = static_cast<wchar_t>(text[i]);
    line[units] = 0;

    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof process);
    if (CreateProcessW(systemProgram ? WinText(application.WideText(0)) : nullptr, line.get(),
                       nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        FileHolder processHandle(process.hProcess);
        FileHolder threadHandle(process.hThread);
        WaitForSingleObject(processHandle.Get(), kChildWaitMs);
    }
    // The child's fate is not the installer's: a command that did not start is not an error.
    return 1;
}

int CInstall::OpenWithAssociated(uint32_t associationId, uint32_t templateId,
                                 const char16_t* argument) {
    GString program;
    if (!QueryAssociatedExe(associationId, program)) return 0;
    return RunCommand(templateId, program.WideText(0), argument != nullptr ? argument : u"");
}

int CInstall::OpenInfoDocument() {
    GString address;
    GetString(95, address);
    return OpenWithAssociated(41, 2, address.WideText(0));
}

OsModule CInstall::LoadLibraryById(uint32_t libraryId) {
    GString name;
    if (!GetString(libraryId, name) || name.IsEmpty() || HasFolderPart(name)) return nullptr;
    if (SystemSearchFlagsAvailable()) {
        return ToOs(
            LoadLibraryExW(WinText(name.WideText(0)), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    }
    GString path;
    if (!SystemFilePath(name.WideText(0), name.Length(), path)) return nullptr;
    return ToOs(LoadLibraryExW(WinText(path.WideText(0)), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

OsProc CInstall::GetProcById(uint32_t procedureId, uint32_t libraryId, OsModule& slot) {
    if (slot == nullptr) slot = LoadLibraryById(libraryId);
    if (slot == nullptr) return nullptr;
    GString name;
    if (!GetString(procedureId, name) || name.IsEmpty() || name.ToNarrow(-1) == nullptr)
        return nullptr;
    return ToOs(GetProcAddress(ToWin(slot), name.NarrowText(0)));
}

OsModule CInstall::GetRedirectionProcs(OsProc& turnOff, OsProc& restore) {
    turnOff = nullptr;
    restore = nullptr;
    OsModule slot = nullptr;
    const OsProc off = GetProcById(56, 144, slot);
    ModuleHolder library(ToWin(slot));
    if (!library) return nullptr;
    const OsProc on = GetProcById(57, 144, slot);
    if (off == nullptr || on == nullptr) return nullptr;
    turnOff = off;
    restore = on;
    return ToOs(library.Release());
}
