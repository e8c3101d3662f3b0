#include "core/dialog_description.h"

#include <fstream>
#include <iterator>
#include <string_view>

#include "base/line_reader.h"
#include "base/numbers.h"

namespace tavlin {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The field scanner of the description records: white space between fields,
// decimal numbers, words, and a text running to the end of the line. Each
// call fails without consuming anything the caller relies on afterwards,
// since scanning stops at the first failing field.
class FieldScanner {
public:
    explicit FieldScanner(std::string_view s) : s_(s) {}

    bool number(int32_t& out) {
        size_t end = 0;
        auto v = parseLeadingInt(s_.substr(pos_), &end);
        if (!v) return false;
        out = saturateToInt32(*v);
        pos_ += end;
        return true;
    }

    bool word(std::string& out) {
        skipBlanks();
        size_t p = pos_;
        while (p < s_.size() && !isBlank(s_[p])) ++p;
        if (p == pos_) return false;
        out.assign(s_.substr(pos_, p - pos_));
        pos_ = p;
        return true;
    }

    // The rest of the line after the blanks, verbatim.
    bool rest(std::string& out) {
        skipBlanks();
        if (pos_ >= s_.size()) return false;
        out.assign(s_.substr(pos_));
        pos_ = s_.size();
        return true;
    }

private:
    void skipBlanks() {
        while (pos_ < s_.size() && isBlank(s_[pos_])) ++pos_;
    }

    std::string_view s_;
    size_t pos_ = 0;
};

// The fields after the record letter and its separator character.
std::string_view recordFields(std::string_view line) {
    return line.size() > 3 ? line.substr(3) : std::string_view();
}

// The targets every record scans into; kept between records on purpose.
struct ScanTargets {
    int32_t id = 0, x = 0, y = 0, w = 0, h = 0;
    std::string text;
};

// Scans "id x y w h" (withId) or "x y w h", then the text when wanted, and
// returns how many fields were read before the first failure.
int scanFields(std::string_view fields, ScanTargets& t, bool withId, bool withText) {
    FieldScanner sc(fields);
    int n = 0;
    if (withId) {
        if (!sc.number(t.id)) return n;
        ++n;
    }
    for (int32_t* v : {&t.x, &t.y, &t.w, &t.h}) {
        if (!sc.number(*v)) return n;
        ++n;
    }
    if (withText) {
        if (!sc.rest(t.text)) return n;
        ++n;
    }
    return n;
}

}  // namespace

DialogDescription ParseDialogDescription(const std::string& text, const std::string& name) {
    DialogDescription d;
    ScanTargets t;
    LineReader lines(text, kDialogLineLimit);
    std::string_view l;
    bool inside = false;
    while (lines.nextLine(l)) {
        if (l.empty() || l[0] != '.') continue;
        char letter = l.size() > 1 ? l[1] : '\0';
        if (!inside) {
            if (letter != 'D') continue;
            // The name is read right after the letter, so ".Dname" matches too.
            std::string word;
            FieldScanner probe(l.substr(2));
            if (!probe.word(word) || word != name) continue;
            inside = true;
            d.found = true;
            // Scanned from right after the letter as well: with the usual blank
            // this is the same, and a short name without it stays whole.
            FieldScanner sc(l.substr(2));
            std::string scannedName;
            if (sc.word(scannedName)) {
                if (sc.number(d.width)) {
                    ++d.headerScanned;
                    if (sc.number(d.height)) {
                        ++d.headerScanned;
                        if (sc.rest(d.title)) ++d.headerScanned;
                    }
                }
            }
            continue;
        }
        if (letter == '.') break;
        bool withId = true;
        bool withText = false;
        switch (letter) {
        case 'E': case 'M': case 'T': case 'S':
            break;
        case 'B': case 'C': case 'I':
            withText = true;
            break;
        case 'L': case 'P':
            withId = false;
            withText = true;
            break;
        default:
            continue;  // unknown letters, and a second ".D", are not ours
        }
        DialogRecord r;
        r.letter = letter;
        r.scanned = scanFields(recordFields(l), t, withId, withText);
        r.id = t.id;
        r.x = t.x;
        r.y = t.y;
        r.w = t.w;
        r.h = t.h;
        r.text = t.text;
        d.records.push_back(std::move(r));
    }
    return d;
}

DialogDescription ParseDialogDescription(std::istream& in, const std::string& name) {
    // Description files are small: read whole, then line by line.
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return ParseDialogDescription(text, name);
}

std::optional<DialogDescription> LoadDialogDescription(const std::string& path, const std::string& name) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return ParseDialogDescription(in, name);
}

}  // namespace tavlin
