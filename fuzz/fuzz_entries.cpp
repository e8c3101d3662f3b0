#include "fuzz/fuzz_entries.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "base/paths.h"
#include "core/dialog_description.h"
#include "core/menu_description.h"
#include "core/prompts.h"
#include "core/resource_folder.h"
#include "core/settings.h"
#include "document/document.h"
#include "document/media_resource.h"
#include "document/project_file.h"
#include "media/audio/au_format.h"
#include "media/audio/wav_format.h"
#include "media/image/gif_codec.h"
#include "media/image/image_formats.h"

namespace tavlin::fuzz {

namespace {

// Messages of a rejected input would only slow the fuzzer down.
class SilentPrompts : public Prompts {
public:
    void showMessage(const std::string&) override {}
    int askChoice(const std::string&, const std::vector<std::string>&) override { return -1; }
};

void silence() {
    static SilentPrompts quiet;
    static bool installed = [] {
        installPrompts(&quiet);
        return true;
    }();
    (void)installed;
}

// A folder of this process's own on tmpfs (the system's temporary folder when
// there is none), removed at exit. Readers that only take a path read their
// input from a file in it.
const std::string& scratchFolder() {
    // Never destroyed, so the clean-up at exit can still read it.
    static const std::string* folder = [] {
        std::error_code ec;
        std::filesystem::path base = "/dev/shm";
        if (!std::filesystem::is_directory(base, ec)) base = std::filesystem::temp_directory_path(ec);
        std::filesystem::path dir = base / ("tavlin-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir, ec);
        return new std::string(dir.string());
    }();
    static bool cleanUp = [] {
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(*folder, ignored);
        });
        return true;
    }();
    (void)cleanUp;
    return *folder;
}

// Writes the bytes to `name` in the scratch folder and returns its path; the
// fuzzer aborts when even that fails, since every later run would be empty.
std::string inputFile(const char* name, const uint8_t* data, size_t size) {
    std::string path = joinPath(scratchFolder(), name);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f && (size == 0 || std::fwrite(data, 1, size, f) == size);
    if (f) ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "fuzz: cannot write %s\n", path.c_str());
        std::abort();
    }
    return path;
}

std::string_view asText(const uint8_t* data, size_t size) {
    return std::string_view(reinterpret_cast<const char*>(data), size);
}

// A video held in memory: a few white frames, so objects that name a video
// get one without any file being opened.
class StillVideo : public VideoSource {
public:
    StillVideo() {
        current = Image(8, 6);
        frameCount = 4;
        frameRate = 10.0;
    }
    bool load(const std::string&) override { return true; }
    const Image* frameAt(int32_t index) override { return index >= 0 && index < frameCount ? &current : nullptr; }
};

// Stored media names become small in-memory resources, kept by the document
// like loaded files: the reader's paths run without touching the disk, which
// a fuzzed name could point anywhere on.
MediaResource* inMemoryMedia(Document& doc, MediaKind kind, const std::string& name) {
    if (name.empty()) return nullptr;
    if (MediaResource* kept = doc.findResource(kind, name)) return kept;
    std::unique_ptr<MediaResource> r = createResource(kind);
    if (auto* image = dynamic_cast<ImageResource*>(r.get())) image->image = std::make_unique<Image>(5, 7);
    if (auto* video = dynamic_cast<VideoResource*>(r.get())) video->video = std::make_unique<StillVideo>();
    if (auto* sound = dynamic_cast<SoundResource*>(r.get())) {
        sound->sound = std::make_unique<Sound>();
        sound->sound->data.assign(800, 0);
    }
    r->name = name;
    MediaResource* kept = r.get();
    doc.resources(kind).push_back(std::move(r));
    return kept;
}

std::unique_ptr<Document> newDocument() {
    auto doc = std::make_unique<Document>(0, 0);
    Document* d = doc.get();
    doc->mediaResolver = [d](MediaKind kind, const std::string& name) { return inMemoryMedia(*d, kind, name); };
    return doc;
}

// The name of the first ".D" record, so fuzzed texts can reach their own dialog.
std::string firstDialogName(std::string_view text) {
    size_t at = text.rfind(".D", 0) == 0 ? 0 : text.find("\n.D");
    if (at == std::string_view::npos) return "d";
    at += text[at] == '\n' ? 3 : 2;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    size_t end = at;
    while (end < text.size() && end - at < 64 && text[end] != ' ' && text[end] != '\t' && text[end] != '\n' &&
           text[end] != '\r')
        ++end;
    return std::string(text.substr(at, end - at));
}

// libpng refuses a chunk whose checksum is wrong, which is where nearly every
// mutated picture would stop; setting the checksums right lets the fuzzer
// reach the decoding itself. Found files are kept as the fuzzer made them and
// go through the same repair when replayed.
std::vector<uint8_t> withPngChecksums(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    size_t pos = 8;  // after the signature
    while (pos + 12 <= bytes.size()) {
        const uint8_t* c = bytes.data() + pos;
        const size_t length = size_t(c[0]) << 24 | size_t(c[1]) << 16 | size_t(c[2]) << 8 | c[3];
        if (length > bytes.size() - pos - 12) break;
        uLong crc = crc32(0L, c + 4, uInt(4 + length));
        uint8_t* out = bytes.data() + pos + 8 + length;
        out[0] = uint8_t(crc >> 24);
        out[1] = uint8_t(crc >> 16);
        out[2] = uint8_t(crc >> 8);
        out[3] = uint8_t(crc);
        pos += 12 + length;
    }
    return bytes;
}

}  // namespace

bool readGif(const uint8_t* data, size_t size) {
    silence();
    return gif::decode(data, size) != nullptr;
}

bool readPng(const uint8_t* data, size_t size) {
    silence();
    std::vector<uint8_t> bytes = withPngChecksums(data, size);
    return PngFormat().read(inputFile("input.png", bytes.data(), bytes.size())) != nullptr;
}

bool readJpeg(const uint8_t* data, size_t size) {
    silence();
    return JpegFormat().read(inputFile("input.jpg", data, size)) != nullptr;
}

bool readWav(const uint8_t* data, size_t size) {
    silence();
    return WavFormat().read(inputFile("input.wav", data, size)) != nullptr;
}

bool readAu(const uint8_t* data, size_t size) {
    silence();
    return AuFormat().read(inputFile("input.au", data, size)) != nullptr;
}

// Reads the project with its media names resolved in memory, then writes it and reads that text
// back the way undo does: a project the program accepted must save into text
// it accepts again and saves the same way, or the user's work could not be
// reopened as it was.
bool readProjectText(const uint8_t* data, size_t size) {
    silence();
    std::unique_ptr<Document> doc = newDocument();
    if (!readProject(*doc, asText(data, size), MediaLookup::documentOnly)) return false;
    doc->recomputeFrameCodes();
    std::string saved;
    if (!writeProject(*doc, saved)) return true;
    std::unique_ptr<Document> again = newDocument();
    if (!readProject(*again, saved, MediaLookup::documentOnly)) {
        std::fprintf(stderr, "fuzz: the saved project is rejected on reading:\n%s\n", saved.c_str());
        std::abort();
    }
    // And the text read back saves to the same bytes: nothing drifts per save.
    std::string resaved;
    if (writeProject(*again, resaved) && resaved != saved) {
        std::fprintf(stderr, "fuzz: saving the reopened project changes it:\n%s\n---\n%s\n", saved.c_str(),
                     resaved.c_str());
        std::abort();
    }
    return true;
}

bool readSettings(const uint8_t* data, size_t size) {
    silence();
    Settings s;
    s.Load(inputFile("tavlin.rc", data, size));
    // Every value read also goes through the number rule.
    for (const Settings::Entry& e : s.entries()) (void)s.GetInt(e.key, "0");
    return !s.entries().empty();
}

// Looks up the first word of the table, and two ids the program always asks for.
bool readStringTable(const uint8_t* data, size_t size) {
    silence();
    inputFile("res.txt", data, size);
    ResourceFolder folder;
    folder.Open(scratchFolder());
    std::string_view text = asText(data, size);
    size_t start = text.find_first_not_of(" \t\r\n\v\f");
    std::string first;
    if (start != std::string_view::npos) {
        size_t end = std::min(text.find_first_of(" \t\r\n\v\f", start), text.size());
        first = std::string(text.substr(start, std::min<size_t>(end - start, 256)));
    }
    bool found = false;
    for (const std::string& id : {first, std::string("newdoc"), std::string("e_cant_open")}) {
        if (id.empty()) continue;
        found = folder.String(id) != kNullStringResource || found;
    }
    return found;
}

bool readDialogDescription(const uint8_t* data, size_t size) {
    silence();
    std::string text(asText(data, size));
    return ParseDialogDescription(text, firstDialogName(text)).found;
}

bool readMenuDescription(const uint8_t* data, size_t size) {
    silence();
    return !ParseMenuDescription(asText(data, size)).entries.empty();
}

std::span<const Target> targets() {
    static const Target all[] = {
        {"gif", readGif},
        {"png", readPng},
        {"jpeg", readJpeg},
        {"wav", readWav},
        {"au", readAu},
        {"project", readProjectText},
        {"settings", readSettings},
        {"string_table", readStringTable},
        {"dialog", readDialogDescription},
        {"menu", readMenuDescription},
    };
    return all;
}

const Target* findTarget(std::string_view name) {
    for (const Target& t : targets())
        if (name == t.name) return &t;
    return nullptr;
}

}  // namespace tavlin::fuzz
