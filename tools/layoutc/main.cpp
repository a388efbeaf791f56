// layoutc: compiles the layout source into everything built from it.
//   layoutc SOURCE OUTDIR
// writes into OUTDIR, for each variant V and set S, tables-V-S.h (the C tables) and names-V-S.h
// (the resource names); expect.inc and image-facts.json (what the tests expect of each build);
// chart.html (the layout chart document) and chart-V.svg (one drawing per variant).
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ChartWriter.h"
#include "ExpectWriter.h"
#include "LayoutParser.h"
#include "TableWriter.h"

namespace {

bool ReadFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    text = buffer.str();
    return true;
}

// Leaves an unchanged file alone so that the builds depending on it stay up to date.
bool WriteFile(const std::string& path, const std::string& text) {
    std::string old;
    if (ReadFile(path, old) && old == text) return true;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::fprintf(stderr, "layoutc: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: layoutc SOURCE OUTDIR\n");
        return 2;
    }
    const std::string source = argv[1];
    const std::string outDir = argv[2];
    std::string text;
    if (!ReadFile(source, text)) {
        std::fprintf(stderr, "layoutc: cannot read %s\n", source.c_str());
        return 1;
    }
    layoutc::Layout layout;
    std::string error;
    if (!layoutc::ParseLayout(text, source, layout, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::vector<layoutc::ResolvedLayout> builds;
    for (size_t v = 0; v < layout.variants.size(); ++v)
        for (size_t s = 0; s < layout.sets.size(); ++s)
            builds.push_back(layoutc::ResolveLayout(layout, v, s));
    bool ok = true;
    for (const layoutc::ResolvedLayout& build : builds) {
        const std::string stem = build.variant->id + "-" + build.set->id;
        ok &= WriteFile(outDir + "/tables-" + stem + ".h",
                        layoutc::WriteTables(build, BaseName(source)));
        ok &= WriteFile(outDir + "/names-" + stem + ".h", layoutc::WriteResourceNames(build));
    }
    ok &= WriteFile(outDir + "/expect.inc", layoutc::WriteExpectations(layout, builds));
    ok &= WriteFile(outDir + "/image-facts.json", layoutc::WriteImageFacts(layout, builds));
    ok &= WriteFile(outDir + "/chart.html", layoutc::WriteChartDocument(layout));
    for (size_t v = 0; v < layout.variants.size(); ++v)
        ok &= WriteFile(outDir + "/chart-" + layout.variants[v].id + ".svg",
                        layoutc::WriteChartSvg(layout, v));
    return ok ? 0 : 1;
}
