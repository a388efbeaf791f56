// Compares a layout read from a library image with what the layout source says it must hold, and
// with the default entries of the installer's key table.
#pragma once

#include <string>
#include <vector>

#include "KbdTableReader.h"
#include "LayoutExpectations.h"

namespace kbtest {

// Every difference, one message each; empty when the layout is exactly the expected one.
std::vector<std::string> CheckLayout(const DecodedLayout& layout, const KbExpectBuild& expected,
                                     bool hasType);

// The expected build of a variant and set, by index as the build list numbers them.
const KbExpectBuild& ExpectedBuild(unsigned variant, unsigned set);

}  // namespace kbtest
