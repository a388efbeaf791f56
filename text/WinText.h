// The one place where UTF-16 text crosses into the Win32 wide-character API.
#pragma once

#ifdef _WIN32
static_assert(sizeof(wchar_t) == 2, "Win32 wide text must be UTF-16 code units");
#endif

inline const wchar_t* WinText(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}

inline wchar_t* WinText(char16_t* text) {
    return reinterpret_cast<wchar_t*>(text);
}
