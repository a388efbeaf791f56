// Helpers shared by the text tests.
#pragma once

#include <string>

#include "GString.h"

// The text in the mode asked for; empty when the string is in the other mode.
inline std::u16string WideOf(const GString& s) {
    return s.IsWide() ? std::u16string(s.WideText(0), size_t(s.Length())) : std::u16string();
}

inline std::string NarrowOf(const GString& s) {
    return s.IsWide() ? std::string() : std::string(s.NarrowText(0), size_t(s.Length()));
}

// Sets s to the text in the mode the text's type names.
inline void Set(GString& s, const std::u16string& text) {
    s.AssignWide(text.data(), int(text.size()));
}

inline void Set(GString& s, const std::string& text) {
    s.AssignNarrow(text.data(), int(text.size()));
}
