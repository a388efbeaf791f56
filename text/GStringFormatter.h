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
};
