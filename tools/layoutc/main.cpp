// layoutc: compiles the layout source into everything built from it.
//   layoutc SOURCE OUTDIR
// writes into OUTDIR, for each variant V and set S, tables-V-S.h (the C tables) and names-V-S.h
// (the resource names); expect.inc and image-facts.json (what the tests expect of each build);
// chart.html (the layout chart document) and chart-V.svg (one drawing per variant).
//   layoutc patterns SOURCE LAYOUT_OUT_DIR OUT_TOML
// reads the builds listed in LAYOUT_OUT_DIR/builds.tsv and writes the string-table entries of the
// byte patterns that find their patchable tables; fails when a table cannot be found uniquely.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ChartWriter.h"
#include "ExpectWriter.h"
#include "LayoutParser.h"
#include "PatternFinder.h"
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

bool ReadLayout(const std::string& source, layoutc::Layout& layout) {
    std::string text, error;
    if (!ReadFile(source, text)) {
        std::fprintf(stderr, "layoutc: cannot read %s\n", source.c_str());
        return false;
    }
    if (!layoutc::ParseLayout(text, source, layout, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    return true;
}

int Patterns(const std::string& source, const std::string& buildDir, const std::string& out) {
    layoutc::Layout layout;
    if (!ReadLayout(source, layout)) return 1;
    std::ifstream list(buildDir + "/builds.tsv");
    std::vector<layoutc::BuildImage> builds;
    unsigned slot;
    layoutc::BuildImage build;
    while (list >> build.variant >> build.set >> slot >> build.name) {
        std::string bytes;
        if (build.variant >= layout.variants.size() || build.set >= layout.sets.size() ||
            !ReadFile(buildDir + "/" + build.name, bytes)) {
            std::fprintf(stderr, "layoutc: cannot read build %s\n", build.name.c_str());
            return 1;
        }
        build.bytes.assign(bytes.begin(), bytes.end());
        builds.push_back(build);
    }
    std::string toml, error;
    if (builds.empty() || !layoutc::WritePatterns(layout, builds, toml, error)) {
        std::fprintf(stderr, "layoutc: %s\n", builds.empty() ? "no builds listed" : error.c_str());
        return 1;
    }
    return WriteFile(out, toml) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "patterns") return Patterns(argv[2], argv[3], argv[4]);
    if (argc != 3) {
        std::fprintf(stderr,
                     "usage: layoutc SOURCE OUTDIR\n"
                     "       layoutc patterns SOURCE LAYOUT_OUT_DIR OUT_TOML\n");
        return 2;
    }
    const std::string source = argv[1];
    const std::string outDir = argv[2];
    layoutc::Layout layout;
    if (!ReadLayout(source, layout)) return 1;
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
