// Writes what the tests expect of every library build, from the same source the tables come
// from: a C++ include for the Windows test program and a JSON file for the image checker.
#pragma once

#include <string>
#include <vector>

#include "LayoutModel.h"

namespace layoutc {

// Aggregate initialisers of the KbExpect* records the test declares; builds are listed
// variant by variant, standard set before alternative set.
std::string WriteExpectations(const Layout& layout, const std::vector<ResolvedLayout>& builds);

// The bytes of each build's patchable tables, and its names, as JSON.
std::string WriteImageFacts(const Layout& layout, const std::vector<ResolvedLayout>& builds);

}  // namespace layoutc
