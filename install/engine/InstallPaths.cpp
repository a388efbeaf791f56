// The install paths, computed once at start-up; the layout library's final and staging paths;
// and the two files the engine writes from its own data.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdlib>

#include "install/InstallWin32.h"
#include "install/engine/WinHandles.h"
#include "text/WinText.h"

namespace {

constexpr DWORD kWow64DirChars = 2309;

using SystemWow64DirectoryProc = UINT(WINAPI*)(LPWSTR, UINT);

// out = base \ name + suffix, with exactly one backslash at the join. An empty base gives an
// empty path and 0: joining onto nothing would name a folder at the root of the current drive.
int JoinPath(GString& out, const GString& base, const GString& name,
             const GString* suffix = nullptr) {
    out.AssignWide(u"", 0);
    if (base.IsEmpty()) return 0;
    if (!out.Assign(base) || !out.ToWide(-1)) {
        out.AssignWide(u"", 0);
        return 0;
    }
    out.AppendPath(name.WideText(0), name.Length());
    if (suffix != nullptr) out.Append(*suffix);
    return 1;
}

// The part of a program path after its last folder separator; all of it without one.
int FileNameOf(const GString& path, GString& out) {
    const char16_t* text = path.WideText(0);
    int start = 0;
    for (int i = 0; i < path.Length(); ++i) {
        if (text[i] == u'\\' || text[i] == u'/') start = i + 1;
    }
    return out.AssignWide(text + start, path.Length() - start);
}

}  // namespace

int CInstall::ComputeInstallPaths() {
    GString programFiles, commonPrograms, commonDesktop;
    GetSpecialFolder(CSIDL_PROGRAM_FILES, programFiles);
    GetSpecialFolder(CSIDL_COMMON_PROGRAMS, commonPrograms);
    GetSpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY, commonDesktop);

    GString textName, pointerName, pointerTarget, docFirst, docSecond, sharedName, docExt, linkExt,
        textExt, pointerExt, linkTitleFormat, displayName, vendorName, productName;
    struct Fetch {
        uint32_t id;
        GString* text;
    };
    const Fetch fetches[] = {{71, &textName},   {70, &pointerName},     {80, &pointerTarget},
                             {22, &docFirst},   {23, &docSecond},       {30, &sharedName},
                             {42, &docExt},     {43, &linkExt},         {44, &textExt},
                             {46, &pointerExt}, {48, &linkTitleFormat}, {81, &displayName},
                             {9, &vendorName},  {10, &productName}};
    int ok = 1;
    for (const Fetch& fetch : fetches) ok &= GetString(fetch.id, *fetch.text);
    // Without the folder names the product folder would be Program Files itself, which the
    // removal would then empty: no names, no paths.
    if (vendorName.IsEmpty() || productName.IsEmpty()) {
        vendorName.AssignWide(u"", 0);
        programFiles.AssignWide(u"", 0);
        commonPrograms.AssignWide(u"", 0);
        commonDesktop.AssignWide(u"", 0);
        ok = 0;
    }

    ok &= JoinPath(VendorDir, programFiles, vendorName);
    ok &= JoinPath(ProductDir, VendorDir, productName);
    ok &= JoinPath(VendorMenuDir, commonPrograms, vendorName);
    ok &= JoinPath(ProductMenuDir, VendorMenuDir, productName);

    // D = <22> (<23>), the product document's base name.
    GString docName;
    docName.Assign(docFirst);
    docName.AppendWide(u" (", 2);
    docName.Append(docSecond);
    docName.AppendWide(u")", 1);

    ok &= JoinPath(ProductDocFile, ProductDir, docName, &docExt);
    ok &= JoinPath(ProductDocMenuLink, ProductMenuDir, docName, &linkExt);
    ok &= JoinPath(ProductDocDesktopLink, commonDesktop, docName, &linkExt);
    ok &= JoinPath(SharedDocFile, ProductDir, sharedName, &docExt);
    ok &= JoinPath(SharedDocMenuLink, ProductMenuDir, sharedName, &linkExt);
    ok &= JoinPath(SharedDocDesktopLink, commonDesktop, sharedName, &linkExt);
    ok &= JoinPath(TextFile, ProductDir, textName, &textExt);
    ok &= JoinPath(TextMenuLink, ProductMenuDir, textName, &linkExt);
    ok &= JoinPath(TextDesktopLink, commonDesktop, textName, &linkExt);
    ok &= JoinPath(MenuPointerFile, ProductMenuDir, pointerName, &pointerExt);
    ok &= JoinPath(DesktopPointerFile, commonDesktop, pointerName, &pointerExt);
    ok &= JoinPath(PointerTarget, ProductDir, pointerTarget);

    InstallerPath.AssignWide(u"", 0);
    InstallerCopy.AssignWide(u"", 0);
    InstallerLinkTitle.AssignWide(u"", 0);
    InstallerMenuLink.AssignWide(u"", 0);
    int argc = 0;
    LocalHolder<LPWSTR> argv(CommandLineToArgvW(GetCommandLineW(), &argc));
    if (!argv || argc < 1 || argv.Get()[0] == nullptr || argv.Get()[0][0] == 0) return 0;
    InstallerPath.AssignWideCString(reinterpret_cast<const char16_t*>(argv.Get()[0]));

    GString programName;
    FileNameOf(InstallerPath, programName);
    ok &= JoinPath(InstallerCopy, ProductDir, programName);
    FormatInto(InstallerLinkTitle, linkTitleFormat.WideText(0), displayName.WideText(0));
    ok &= JoinPath(InstallerMenuLink, ProductMenuDir, InstallerLinkTitle, &linkExt);
    return ok ? 1 : 0;
}

int CInstall::GetLayoutFilePaths(GString& primaryFinal, GString& companionFinal,
                                 GString* primaryStaging, GString* companionStaging) {
    primaryFinal.AssignWide(u"", 0);
    companionFinal.AssignWide(u"", 0);
    if (primaryStaging != nullptr) primaryStaging->AssignWide(u"", 0);
    if (companionStaging != nullptr) companionStaging->AssignWide(u"", 0);

    GString library;
    if (!GetString(83, library) || library.IsEmpty()) return 0;
    GString system;
    if (!GetSpecialFolder(CSIDL_SYSTEM, system)) return 0;

    if (!Is64Bit) {
        if (!JoinPath(primaryFinal, system, library)) return 0;
        if (primaryStaging != nullptr && !JoinPath(*primaryStaging, ProductDir, library)) return 0;
        return 1;
    }

    // 64-bit Windows: the 32-bit build goes to the 32-bit system directory, the 64-bit
    // companion to the native one.
    OsModule slot = nullptr;
    const auto wow64Directory =
        reinterpret_cast<SystemWow64DirectoryProc>(GetProcById(60, 144, slot));
    ModuleHolder kernel(ToWin(slot));
    if (wow64Directory == nullptr) return 0;
    MallocHolder<wchar_t> buffer(
        static_cast<wchar_t*>(std::calloc(kWow64DirChars, sizeof(wchar_t))));
    if (!buffer) return 0;
    const UINT length = wow64Directory(buffer.Get(), kWow64DirChars - 1);
    if (length == 0 || length >= kWow64DirChars - 1) return 0;
    GString wow64;
    if (!wow64.AssignWide(reinterpret_cast<const char16_t*>(buffer.Get()),
                          static_cast<int>(length)))
        return 0;

    if (!JoinPath(primaryFinal, wow64, library) || !JoinPath(companionFinal, system, library))
        return 0;
    if (primaryStaging != nullptr && !JoinPath(*primaryStaging, ProductDir, library)) return 0;
    if (companionStaging != nullptr) {
        GString suffix;
        suffix.AssignWide(u"64", 2);
        if (!JoinPath(*companionStaging, ProductDir, library, &suffix)) return 0;
    }
    return 1;
}

int CInstall::WritePayloadFile(const GString& path, const uint8_t* blob, uint32_t size) {
    uint32_t plainSize = size;
    MallocHolder<uint8_t> plain(Guard.Unpack(blob, plainSize));
    if (!plain) return 0;
    FileHolder file(ToWin(CreateOutputFile(path)));
    if (!file) return 0;
    return WriteFileBytes(ToOsFile(file.Get()), plain.Get(), plainSize);
}

int CInstall::WriteStringFile(const GString& path) {
    GString text;
    if (!GetString(OsVersion < 51 ? 68 : 67, text)) return 0;
    FileHolder file(ToWin(CreateOutputFile(path)));
    if (!file) return 0;
    return WriteFileText(ToOsFile(file.Get()), text);
}
