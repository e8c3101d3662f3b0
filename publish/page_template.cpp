#include "publish/page_template.h"

#include <ctime>
#include <filesystem>

#include "base/paths.h"
#include "base/safe_write.h"
#include "core/prompts.h"
#include "core/resource_folder.h"
#include "document/document.h"
#include "publish/publisher.h"

namespace tavlin {

namespace fs = std::filesystem;

namespace {

// Deeper template folders than this are not copied (a link loop, say).
constexpr int32_t kMaxTemplateDepth = 32;

std::string canonical(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::path(path), ec);
    return ec ? path : p.string();
}

std::string fromPageLineEnds(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

}  // namespace

std::string appletBlock(int32_t width, int32_t height, bool withData) {
    return "<!-- start TAVLIN --><APPLET width=" + std::to_string(width) + " height=" + std::to_string(height) +
           " code=\"Tavlin.class\" archive=\"tavlin.jar" + (withData ? ",data.jar" : "") +
           "\">\n<PARAM NAME=PRELOAD VALUE=TRUE>\n<!-- <PARAM NAME=DIR VALUE=\".\"> -->\n"
           "<PARAM NAME=BGCOLOR VALUE=\"FFFFFF\">\n<PARAM NAME=MESSAGE VALUE=\"TAVLIN Loading\">\n"
           "</APPLET><!-- end TAVLIN -->";
}

std::string plainPage(int32_t width, int32_t height, bool withData) {
    return "<HTML><HEAD></HEAD><BODY>\n" + appletBlock(width, height, withData) + "\n</BODY></HTML>\n";
}

std::string toPageLineEnds(const std::string& text) {
    std::string plain = fromPageLineEnds(text), out;
    out.reserve(plain.size() + plain.size() / 32);
    for (char c : plain) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

PageDate PageDate::today() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return PageDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::string pageTitle(const std::string& fileName) {
    size_t slash = fileName.find_last_of("/\\");
    std::string name = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

TemplateExpander::TemplateExpander(const Document& doc, bool withData, PageDate date)
    : width_(doc.stageWidth), height_(doc.stageHeight), title_(pageTitle(doc.fileName)), withData_(withData),
      date_(date) {}

std::string TemplateExpander::replacement(const std::string& name) const {
    if (name == "year") return std::to_string(date_.year);
    if (name == "month") return std::to_string(date_.month);
    if (name == "day") return std::to_string(date_.day);
    if (name == "title") return title_;
    if (name == "applet") return appletBlock(width_, height_, withData_);
    if (name == "width") return std::to_string(width_);
    if (name == "height") return std::to_string(height_);
    if (name == "message") return {};
    return "$" + name + "$";
}

std::string TemplateExpander::expandText(const std::string& text, int32_t* strayLine) const {
    if (strayLine) *strayLine = 0;
    std::string out;
    out.reserve(text.size() + 512);
    int32_t line = 1;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '$') {
            if (c == '\n') ++line;
            out += c;
            continue;
        }
        size_t close = text.find('$', i + 1);
        if (close == std::string::npos) {
            if (strayLine) *strayLine = line;
            break;
        }
        std::string name = text.substr(i + 1, close - i - 1);
        for (char n : name)
            if (n == '\n') ++line;
        out += name.empty() ? std::string("$") : replacement(name);
        i = close;
    }
    return out;
}

bool TemplateExpander::expand(const std::string& destination, const std::string& source, std::string* reason) {
    auto bytes = readFileBytes(source);
    if (!bytes) {
        if (reason) *reason = "cannot read " + source;
        return false;
    }
    int32_t stray = 0;
    std::string page = toPageLineEnds(expandText(fromPageLineEnds(std::string(bytes->begin(), bytes->end())), &stray));
    if (stray) stray_.push_back(source + ":" + std::to_string(stray));
    if (!writeFileSafely(destination, page).ok()) {
        if (reason) *reason = "cannot write " + destination + " (is the disk full or the folder read-only?)";
        return false;
    }
    return true;
}

bool TemplateExpander::copy(const std::string& destination, const std::string& source, std::string* reason) {
    if (canonical(destination) == canonical(source)) {
        if (reason) *reason = "the template folder is the output folder";
        return false;
    }
    return copyTree(destination, source, canonical(destination), 0, reason);
}

bool TemplateExpander::copyTree(const std::string& destination, const std::string& source, const std::string& root,
                                int32_t depth, std::string* reason) {
    if (depth > kMaxTemplateDepth) return true;
    std::error_code ec;
    for (fs::directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.' || name.back() == '~') continue;
        std::string from = it->path().string();
        std::string to = joinPath(destination, name);
        std::error_code dec;
        if (it->is_directory(dec)) {
            // The output folder inside the template folder is not copied into itself.
            if (canonical(from) == root) continue;
            fs::create_directory(to, dec);
            if (!isDirectory(to)) {
                if (reason) *reason = "cannot create the folder " + to;
                return false;
            }
            if (!copyTree(to, from, root, depth + 1, reason)) return false;
        } else if (fs::path(name).extension() == ".html") {
            std::string why;
            if (!expand(to, from, &why) && fileExists(from) && readFileBytes(from)) {
                if (reason) *reason = why;
                return false;
            }
        } else {
            auto bytes = readFileBytes(from);
            if (!bytes) continue;  // unreadable template files are skipped
            if (!writeFileSafely(to, std::string(bytes->begin(), bytes->end())).ok()) {
                if (reason) *reason = "cannot write " + to + " (is the disk full or the folder read-only?)";
                return false;
            }
        }
    }
    return true;
}

StepResult pageStep(Publisher& p, const std::string& templateFolder) {
    Document& doc = p.document();
    bool withData = fileExists(p.path("data.jar"));
    TemplateExpander expander(doc, withData);
    std::string index = joinPath(templateFolder, "index.html");
    if (!templateFolder.empty() && isDirectory(templateFolder) && fileExists(index) && !isDirectory(index)) {
        std::string reason;
        if (!expander.copy(p.folder(), templateFolder, &reason)) return StepResult::fail(reason);
        for (const std::string& at : expander.strayDollars())
            ShowMessage("The page template %s has a \"$\" that opens no placeholder; the text after it was "
                        "left out of the page.",
                        at.c_str());
        return StepResult::done();
    }
    ShowMessage("%s", resources().StringCopy("e_bad_template").c_str());
    std::string target = p.path("index.html");
    if (!writeFileSafely(target, toPageLineEnds(plainPage(doc.stageWidth, doc.stageHeight, withData))).ok())
        return StepResult::fail("cannot write " + target + " (is the disk full or the folder read-only?)");
    return StepResult::done();
}

}  // namespace tavlin
