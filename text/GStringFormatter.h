// The formatting engine behind GString::AppendFormat and FormatInto.
#pragma once

#include "FormatArgs.h"
#include "GString.h"

class GStringFormatter {
public:
    // Appends the formatted template to a wide target, taking the arguments
    // from args. 0 at once for a null template or a narrow target; 0 when a
    // directive fails, the text produced before it kept and terminated.
    static int Append(GString& target, const char16_t* format, FormatArgs& args);

    // True when the pointer lies in the target's block, which growth may move.
    static bool Holds(const GString& target, const void* pointer) {
        return target.InBlock(pointer);
    }

    // The place just after the text with room for count more units, or null
    // when memory runs out. The target must be wide.
    static char16_t* Room(GString& target, int count) {
        if (target.FreeSpace() < count && !target.EnsureRoom(count)) return nullptr;
        return reinterpret_cast<char16_t*>(target.TextStart()) + target.length;
    }

    // Takes count units written into the room into the text. The terminator
    // is left out while the engine works and written once when it returns.
    static void Advance(GString& target, int count) { target.length += count; }
};
