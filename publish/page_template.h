#pragma once
// The page of a publication: a template folder copied into the output folder
// with the placeholders of its ".html" files filled in ("$title$",
// "$applet$", ...), or a plain page when the template cannot be used.

#include <cstdint>
#include <string>
#include <vector>

namespace tavlin {

class Document;

// The viewer's element for a stage of w x h; `withData` adds "data.jar" to
// its archive list. Lines end in "\n" here; pages are written with CR LF.
std::string appletBlock(int32_t width, int32_t height, bool withData);
// The page written when the template folder is unusable (eight lines).
std::string plainPage(int32_t width, int32_t height, bool withData);

// Pages are text: CR LF and LF in a template both come out as CR LF.
std::string toPageLineEnds(const std::string& text);

struct PageDate {
    int32_t year = 0, month = 0, day = 0;
    static PageDate today();
};

class TemplateExpander {
public:
    TemplateExpander(const Document& doc, bool withData, PageDate date = PageDate::today());

    // The text with its placeholders replaced. A "$" that no closing "$"
    // follows drops the rest of the text; `strayLine` (when given) then
    // receives the 1-based line of that "$", else 0.
    std::string expandText(const std::string& text, int32_t* strayLine = nullptr) const;
    // Expands one file into another (replacing it). False, with the reason,
    // when the source cannot be read or the destination written.
    bool expand(const std::string& destination, const std::string& source, std::string* reason = nullptr);
    // Copies a template folder into `destination`: names starting with "."
    // or ending in "~" are left out, ".html" files are expanded, everything
    // else is copied byte for byte. Unreadable template files are skipped;
    // false, with the reason, when a file cannot be written.
    bool copy(const std::string& destination, const std::string& source, std::string* reason = nullptr);

    // Template files in which a "$" opened no placeholder: "file:line".
    const std::vector<std::string>& strayDollars() const { return stray_; }

    // The replacement of a placeholder name ("title", "applet", ...).
    std::string replacement(const std::string& name) const;

private:
    bool copyTree(const std::string& destination, const std::string& source, const std::string& root,
                  int32_t depth, std::string* reason);

    int32_t width_, height_;
    std::string title_;
    bool withData_;
    PageDate date_;
    std::vector<std::string> stray_;
};

// The title placeholder: the document's file name without folder and
// extension.
std::string pageTitle(const std::string& fileName);

}  // namespace tavlin
