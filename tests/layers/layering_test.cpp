// Holds every #include of the product's folders against the layers the build
// declares: a folder may include its own headers and those of the layers it
// declares (and what they declare in turn), never one above it; Qt headers
// only where the layer says so, and Qt Widgets only in the toolkit, the
// studio and the installer.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Layer {
    std::set<std::string> uses;  // declared, then closed over
    std::string qt;              // NONE, GUI or WIDGETS
};

std::map<std::string, Layer> readLayers() {
    std::map<std::string, Layer> layers;
    std::ifstream in(TAVLIN_LAYERS_FILE);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        std::vector<std::string> parts;
        std::stringstream ss(line);
        for (std::string part; std::getline(ss, part, '|');) parts.push_back(part);
        parts.resize(3);
        Layer layer;
        std::stringstream uses(parts[1]);
        for (std::string u; std::getline(uses, u, ',');)
            if (!u.empty()) layer.uses.insert(u);
        layer.qt = parts[2];
        layers[parts[0]] = layer;
    }
    // What a layer may use, it may use through any of its declared layers.
    for (bool grew = true; grew;) {
        grew = false;
        for (auto& [name, layer] : layers) {
            std::set<std::string> more = layer.uses;
            for (const auto& u : layer.uses)
                if (layers.count(u)) more.insert(layers[u].uses.begin(), layers[u].uses.end());
            if (more.size() != layer.uses.size()) {
                layer.uses = more;
                grew = true;
            }
        }
    }
    return layers;
}

struct Include {
    std::string file;
    int line;
    std::string target;
    bool angled;
};

std::vector<Include> includesOf(const fs::path& file, const fs::path& root) {
    static const std::regex re(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
    std::vector<Include> out;
    std::ifstream in(file);
    std::string text;
    int n = 0;
    while (std::getline(in, text)) {
        ++n;
        std::smatch m;
        if (std::regex_search(text, m, re))
            out.push_back({fs::relative(file, root).string(), n, m[2].str(), m[1].str() == "<"});
    }
    return out;
}

// Every violation of the layering in the tree, one line each.
std::vector<std::string> violations(const fs::path& root, const std::map<std::string, Layer>& layers) {
    std::set<std::string> folders;  // every folder that holds product code
    for (const auto& [name, layer] : layers) folders.insert(name);
    folders.insert("apps");
    const fs::path widgets = TAVLIN_QT_WIDGETS_DIR;
    std::vector<std::string> out;
    for (const auto& [name, layer] : layers) {
        if (!fs::exists(root / name)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(root / name)) {
            auto ext = entry.path().extension();
            if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
            for (const Include& inc : includesOf(entry.path(), root)) {
                std::string where = inc.file + ":" + std::to_string(inc.line) + ": ";
                if (inc.angled) {
                    bool isQt = inc.target.size() > 1 && inc.target[0] == 'Q' && std::isupper(inc.target[1]);
                    isQt = isQt || inc.target.rfind("Qt", 0) == 0;
                    if (!isQt) continue;
                    if (layer.qt == "NONE")
                        out.push_back(where + name + " must not use Qt: <" + inc.target + ">");
                    else if (layer.qt == "GUI" && fs::exists(widgets / inc.target))
                        out.push_back(where + name + " must not use Qt Widgets: <" + inc.target + ">");
                    continue;
                }
                auto slash = inc.target.find('/');
                if (slash == std::string::npos) continue;
                std::string folder = inc.target.substr(0, slash);
                if (folder == name || !folders.count(folder)) continue;
                if (!layer.uses.count(folder))
                    out.push_back(where + name + " may not include " + folder + "/: \"" + inc.target + "\"");
            }
        }
    }
    return out;
}

TEST(Layering, EveryIncludeStaysWithinTheDeclaredLayers) {
    auto layers = readLayers();
    ASSERT_GE(layers.size(), 10u) << "no layers read from " << TAVLIN_LAYERS_FILE;
    // The table itself keeps the promises the layers make.
    EXPECT_EQ(layers["ui"].uses.count("document"), 0u) << "the toolkit knows no document";
    for (const char* pure : {"base", "media", "core", "document", "publish", "cli", "cipher"})
        EXPECT_NE(layers[pure].qt, "WIDGETS") << pure;
    EXPECT_TRUE(layers["base"].uses.empty());
    EXPECT_TRUE(layers["setup"].uses.empty()) << "tavlin-setup shares no code with the studio";

    auto found = violations(TAVLIN_SOURCE_DIR, layers);
    std::string all;
    for (const auto& v : found) all += v + "\n";
    EXPECT_TRUE(found.empty()) << all;
}

TEST(Layering, AWrongIncludeIsCaught) {
    // A scratch tree with a document file that reaches up into the toolkit,
    // a media file that uses Qt and a canvas file that uses Qt Widgets.
    fs::path root = fs::temp_directory_path() / ("tavlin-layers-" + std::to_string(::getpid()));
    fs::create_directories(root / "document");
    fs::create_directories(root / "media");
    fs::create_directories(root / "canvas");
    std::ofstream(root / "document" / "a.cpp") << "#include \"document/a.h\"\n#include \"ui/window.h\"\n";
    std::ofstream(root / "media" / "b.cpp") << "#include <QImage>\n#include <vector>\n";
    std::ofstream(root / "canvas" / "c.cpp") << "#include <QImage>\n#include <QWidget>\n";
    auto found = violations(root, readLayers());
    fs::remove_all(root);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_NE(found[0].find("canvas/c.cpp:2: canvas must not use Qt Widgets"), std::string::npos) << found[0];
    EXPECT_NE(found[1].find("document/a.cpp:2: document may not include ui/"), std::string::npos) << found[1];
    EXPECT_NE(found[2].find("media/b.cpp:1: media must not use Qt"), std::string::npos) << found[2];
}

}  // namespace
