// A helper program of the engine tests. "probe sleep MS FILE" sleeps, then writes "done" to
// FILE; any other command line writes "planted" to its last argument. Copied under the name of
// a system program next to the tests, it shows whether that copy was run instead.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>

#include "text/WinText.h"

namespace {

void WriteMark(const wchar_t* path, const char* text) {
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(lstrlenA(text)), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 2) return 2;
    if (argc == 4 && lstrcmpW(argv[1], WinText(u"sleep")) == 0) {
        Sleep(static_cast<DWORD>(_wtoi(argv[2])));
        WriteMark(argv[3], "done");
        return 0;
    }
    WriteMark(argv[argc - 1], "planted");
    return 0;
}
