// The layout chart: one keyboard drawing per variant, as SVG, and the printable product
// document that holds them all.
#pragma once

#include <string>

#include "LayoutModel.h"

namespace layoutc {

// A standalone SVG drawing of one variant (standard set, with the alternative set's dead keys).
std::string WriteChartSvg(const Layout& layout, size_t variant);

// The self-contained HTML document with every variant's chart and the dead-key table.
std::string WriteChartDocument(const Layout& layout);

}  // namespace layoutc
