#include "studio/picture_chooser.h"

#include <QImage>
#include <QImageReader>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <list>
#include <map>
#include <system_error>
#include <utility>

#include "base/paths.h"
#include "canvas/canvas.h"
#include "core/cursor_ids.h"
#include "core/key_codes.h"
#include "core/resource_folder.h"
#include "media/media_registry.h"
#include "ui/control.h"
#include "ui/platform.h"

namespace tavlin {

namespace {

constexpr int32_t kClientWidth = 520, kClientHeight = 490;
constexpr int32_t kThumbWidth = 80, kThumbHeight = 60;
constexpr int32_t kDoubleClickMs = 500;
constexpr uint32_t kCellFrame = 0xE0E0E0, kSelectedFrame = 0xFF0000, kFolderBox = 0xE0E0E0;
// Thumbnails kept across choosers: a few screens of a big folder and then
// some, at about 19 KB each.
constexpr size_t kCacheEntries = 4000;

int64_t clockMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Process-wide, as double clicks span redraws.
int64_t lastPressTime = 0;
int32_t lastPressIndex = 0;

struct CachedThumbnail {
    std::shared_ptr<const Image> thumbnail;  // null: unreadable
    int32_t width = 1, height = 1;
};

// Keyed by path, file time and size, so a changed file is decoded again.
class ThumbnailCache {
public:
    using Key = std::tuple<std::string, int64_t, uintmax_t>;
    const CachedThumbnail* find(const Key& key) {
        auto it = map_.find(key);
        if (it == map_.end()) return nullptr;
        order_.splice(order_.begin(), order_, it->second.second);
        return &it->second.first;
    }
    void clear() {
        map_.clear();
        order_.clear();
    }
    void put(const Key& key, CachedThumbnail value) {
        if (auto it = map_.find(key); it != map_.end()) {
            it->second.first = std::move(value);
            return;
        }
        order_.push_front(key);
        map_.emplace(key, std::make_pair(std::move(value), order_.begin()));
        while (map_.size() > kCacheEntries) {
            map_.erase(order_.back());
            order_.pop_back();
        }
    }

private:
    std::list<Key> order_;
    std::map<Key, std::pair<CachedThumbnail, std::list<Key>::iterator>> map_;
};

ThumbnailCache& cache() {
    static ThumbnailCache c;
    return c;
}

ThumbnailCache::Key cacheKey(const std::string& path) {
    std::error_code ec;
    auto time = std::filesystem::last_write_time(path, ec);
    int64_t stamp = ec ? 0 : int64_t(time.time_since_epoch().count());
    uintmax_t size = std::filesystem::file_size(path, ec);
    return {path, stamp, ec ? 0 : size};
}

bool isJpegName(const std::string& path) {
    std::string ext = pathExtension(path);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext == ".jpg" || ext == ".jpeg" || ext == "jpg" || ext == "jpeg";
}

std::unique_ptr<Image> fromQImage(const QImage& source) {
    QImage q = source.convertToFormat(QImage::Format_ARGB32);
    auto img = Image::create(q.width(), q.height());
    if (!img) return nullptr;
    for (int32_t y = 0; y < q.height(); ++y) {
        const auto* src = reinterpret_cast<const uint32_t*>(q.constScanLine(y));
        std::copy(src, src + q.width(), img->row(y));
    }
    return img;
}

// A JPEG decoded at the smallest scale that still covers the thumbnail: the
// decoder skips most of the work, which matters for photographs of many
// megapixels. Only a file that really is a JPEG is taken, as the registry
// would.
std::unique_ptr<Image> readJpegThumbnail(const std::string& path, int32_t* width, int32_t* height) {
    QImageReader reader(QString::fromStdString(path), "jpeg");
    reader.setDecideFormatFromContent(false);
    reader.setAutoTransform(false);
    QSize size = reader.size();
    if (!size.isValid() || size.width() <= 0 || size.height() <= 0) return nullptr;
    if (!imageSizeAllowed(size.width(), size.height())) return nullptr;
    int32_t tw = 0, th = 0;
    thumbnailSize(size.width(), size.height(), &tw, &th);
    reader.setScaledSize(QSize(tw, th));
    QImage q = reader.read();
    if (q.isNull()) return nullptr;
    *width = size.width();
    *height = size.height();
    return fromQImage(q);
}

}  // namespace

void clearThumbnailCache() { cache().clear(); }

void thumbnailSize(int32_t w, int32_t h, int32_t* tw, int32_t* th) {
    *tw = kThumbWidth;
    *th = int32_t(int64_t(h) * kThumbWidth / std::max(w, 1));
    if (*th > kThumbHeight) {
        *th = kThumbHeight;
        *tw = int32_t(int64_t(w) * kThumbHeight / std::max(h, 1));
    }
    *tw = std::max(*tw, 1);
    *th = std::max(*th, 1);
}

std::unique_ptr<Image> readThumbnail(const std::string& path, int32_t* width, int32_t* height) {
    if (isJpegName(path)) return readJpegThumbnail(path, width, height);
    std::unique_ptr<Image> full = readImage(path);
    if (!full || full->empty()) return nullptr;
    int32_t tw = 0, th = 0;
    thumbnailSize(full->width, full->height, &tw, &th);
    *width = full->width;
    *height = full->height;
    return scaleNearest(*full, tw, th);
}

PictureChooser::PictureChooser(Window* parent, bool multiple)
    : ModalWindow(parent, 0, 0, kClientWidth, kClientHeight, kToolWindow), multiple_(multiple) {
    SetTitle(resources().StringCopy("openimage"));
    slider_ = new Slider(this, 500, kGridY, 20, kRows * kCell, kSliderId, false);
    AdoptControl(slider_);
    AdoptControl(new Button(this, 440, 0, 80, 30, kFolderButtonId, "..."));
    AdoptControl(new Button(this, 90, 445, 80, 35, kOkId, "OK"));
    AdoptControl(new Button(this, 350, 445, 95, 35, kCancelId, resources().StringCopy("b_cancel")));
    if (Canvas* c = canvas()) {
        c->FillFace(0, 0, c->width(), c->height());
        c->SelectFont(DefaultFont());
    }
    timer_ = new QTimer(client());
    timer_->setSingleShot(true);
    timer_->setInterval(0);
    QObject::connect(timer_, &QTimer::timeout, [this] {
        if (loadNextThumbnail()) scheduleThumbnails();
    });
    ShowControls();
}

PictureChooser::~PictureChooser() {
    // The widget may be deleted later than this object; its timer must not call back.
    if (timer_) {
        timer_->stop();
        timer_->disconnect();
    }
}

void PictureChooser::showFolder(const std::string& path) {
    SetCursor(kCursorWait);
    entries_.clear();
    std::error_code ec;
    std::filesystem::path target = path.empty() ? std::filesystem::current_path(ec) : std::filesystem::path(path);
    if (target.is_relative() && !folder_.empty()) target = std::filesystem::path(folder_) / target;
    std::filesystem::path full = std::filesystem::weakly_canonical(target, ec);
    // A folder that cannot be read leaves the chooser where it was.
    if (!ec && std::filesystem::is_directory(full, ec)) {
        std::filesystem::directory_iterator probe(full, ec);
        if (!ec) folder_ = full.string();
    }
    if (folder_.empty()) folder_ = std::filesystem::current_path(ec).string();

    std::vector<std::string> names = {".", ".."};
    for (std::filesystem::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    std::vector<bool> isFolder(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        isFolder[i] = isDirectory(joinPath(folder_, names[i]));
        if (!isFolder[i]) continue;
        PictureEntry e;
        e.name = names[i];
        e.folder = true;
        e.looked = true;
        entries_.push_back(std::move(e));
    }
    // Only names are listed here; the pictures are read when they come into view.
    for (size_t i = 0; i < names.size(); ++i) {
        if (isFolder[i] || !findImageFormat(names[i])) continue;
        PictureEntry e;
        e.name = names[i];
        if (const CachedThumbnail* kept = cache().find(cacheKey(joinPath(folder_, e.name)))) {
            e.thumbnail = kept->thumbnail;
            e.width = kept->width;
            e.height = kept->height;
            e.looked = true;
        }
        entries_.push_back(std::move(e));
    }
    int32_t count = int32_t(entries_.size());
    slider_->SetRange(0, std::max(0, (count + kColumns - 1) / kColumns - kRows));
    slider_->SetPosition(0);
    slider_->SetProportion(count > 0 ? std::min(1.0, double(kRows * kColumns) / count) : 1.0);
    drawGrid();
    SetCursor(kCursorArrow);
}

int32_t PictureChooser::firstVisible() const { return kColumns * slider_->position(); }

int32_t PictureChooser::entryAt(int32_t x, int32_t y) const {
    if (x < kGridX || x >= kGridX + kColumns * kCell || y < kGridY || y >= kGridY + kRows * kCell) return -1;
    int32_t index = (x - kGridX) / kCell + kColumns * ((y - kGridY) / kCell + slider_->position());
    return index >= 0 && index < int32_t(entries_.size()) ? index : -1;
}

int32_t PictureChooser::pendingThumbnails() const {
    int32_t n = 0;
    int32_t first = firstVisible();
    for (int32_t i = first; i < first + kRows * kColumns && i < int32_t(entries_.size()); ++i)
        if (!entries_[size_t(i)].looked) ++n;
    return n;
}

bool PictureChooser::loadNextThumbnail() {
    int32_t first = firstVisible();
    for (int32_t i = first; i < first + kRows * kColumns && i < int32_t(entries_.size()); ++i) {
        PictureEntry& e = entries_[size_t(i)];
        if (e.looked) continue;
        std::string path = joinPath(folder_, e.name);
        CachedThumbnail found;
        if (std::unique_ptr<Image> thumb = readThumbnail(path, &found.width, &found.height))
            found.thumbnail = std::move(thumb);
        else
            found.width = found.height = 1;
        cache().put(cacheKey(path), found);
        e.thumbnail = found.thumbnail;
        e.width = found.width;
        e.height = found.height;
        e.looked = true;
        drawCell(i);
        // The cell's frame overlaps the grid's own at the edges.
        if (Canvas* back = canvas()) back->FrameRect(kGridX, kGridY, kColumns * kCell, kRows * kCell, 0x000000);
        int32_t c = i - first;
        RefreshRect(kGridX + kCell * (c % kColumns), kGridY + kCell * (c / kColumns), kCell + 1, kCell + 1);
        return true;
    }
    return false;
}

void PictureChooser::scheduleThumbnails() {
    if (timer_ && pendingThumbnails() > 0 && !timer_->isActive()) timer_->start();
}

void PictureChooser::drawCell(int32_t index) {
    Canvas* back = canvas();
    int32_t c = index - firstVisible();
    if (!back || c < 0 || c >= kRows * kColumns) return;
    int32_t x = kGridX + kCell * (c % kColumns), y = kGridY + kCell * (c / kColumns);
    back->FillRect(x, y, kCell, kCell, 0xFFFFFF);
    if (index < int32_t(entries_.size())) {
        const PictureEntry& e = entries_[size_t(index)];
        if (e.folder) {
            if (const Image* icon = resources().Image("folder.png"))
                back->DrawImage(x + 10, y + 10, icon->width, icon->height, *icon);
        } else if (e.thumbnail) {
            back->DrawImage(x + 10, y + 10, e.thumbnail->width, e.thumbnail->height, *e.thumbnail);
        }
        auto centred = [&](const std::string& text, int32_t ty, bool capped) {
            int32_t w = back->MeasureText(text).x;
            if (capped) w = std::min(w, 96);
            back->DrawText(x + 2 + (96 - w) / 2, ty, capped ? 96 : std::max(w, 1), 20, text, 0x000000);
        };
        centred(e.name, y + 70, true);
        if (!e.folder && e.looked) centred(std::to_string(e.width) + "x" + std::to_string(e.height), y + 86, false);
    }
    back->FrameRect(x, y, kCell + 1, kCell + 1, kCellFrame);
    if (index < int32_t(entries_.size()) && entries_[size_t(index)].selected)
        back->FrameRect(x + 1, y + 1, kCell - 1, kCell - 1, kSelectedFrame);
}

void PictureChooser::drawFolderBox() {
    Canvas* back = canvas();
    if (!back) return;
    back->FillFace(0, 0, 440, 35);
    back->FillRect(0, 5, 436, 20, kFolderBox);
    back->FrameRect(0, 5, 436, 20, 0x000000);
    back->DrawText(2, 7, 434, 18, folder_, 0x000000);
    RefreshRect(0, 5, 440, 35);
}

void PictureChooser::drawGrid() {
    Canvas* back = canvas();
    if (!back) return;
    back->SelectFont(DefaultFont());
    back->FillRect(kGridX, kGridY, kColumns * kCell, kRows * kCell, 0xFFFFFF);
    int32_t first = firstVisible();
    for (int32_t i = first; i < first + kRows * kColumns; ++i) drawCell(i);
    back->FrameRect(kGridX, kGridY, kColumns * kCell, kRows * kCell, 0x000000);
    drawFolderBox();
    ShowControls();
    Refresh();
    scheduleThumbnails();
}

void PictureChooser::OnMouseMove(int32_t x, int32_t y, int32_t modifiers) {
    ModalWindow::OnMouseMove(x, y, modifiers);
    if (y >= kGridY && x < kGridX + kColumns * kCell) SetCursor(entryAt(x, y) >= 0 ? kCursorArrow : kCursorNeutral);
}

void PictureChooser::OnLeftDown(int32_t x, int32_t y, int32_t modifiers) {
    ModalWindow::OnLeftDown(x, y, modifiers);
    if (y < kGridY || y >= kGridY + kRows * kCell || x >= kGridX + kColumns * kCell) return;
    int32_t index = entryAt(x, y);
    if (index >= 0) {
        bool shift = modifiers & 1, control = modifiers & 2;
        if (!(multiple_ && (shift || control)))
            for (PictureEntry& e : entries_) e.selected = false;
        if (control) {
            entries_[size_t(index)].selected = !entries_[size_t(index)].selected;
        } else if (shift) {
            auto first =
                std::find_if(entries_.begin(), entries_.end(), [](const PictureEntry& e) { return e.selected; });
            if (first != entries_.end()) {
                int32_t a = int32_t(first - entries_.begin());
                for (int32_t i = std::min(a, index); i <= std::max(a, index); ++i) entries_[size_t(i)].selected = true;
            }
        } else {
            entries_[size_t(index)].selected = true;
        }
    }
    drawGrid();
    int64_t now = clockMs();
    bool doubleClick = now - lastPressTime < kDoubleClickMs && index == lastPressIndex && index >= 0 &&
                       entries_[size_t(index)].selected;
    lastPressTime = now;
    lastPressIndex = index;
    if (doubleClick) ok();
}

void PictureChooser::OnWheel(int32_t steps, int32_t x, int32_t y) {
    // The wheel scrolls the grid wherever the pointer is.
    if (slider_->OnWheel(steps)) return;
    ModalWindow::OnWheel(steps, x, y);
}

void PictureChooser::OnKey(int32_t code) {
    int32_t row = slider_->position();
    switch (code) {
    case Key::Up: row -= 1; break;
    case Key::Down: row += 1; break;
    case Key::Home: row = 0; break;
    case Key::End: row = slider_->maximum(); break;
    case Key::Enter: ok(); return;
    default: ModalWindow::OnKey(code); return;
    }
    slider_->SetPosition(row);
    drawGrid();
}

void PictureChooser::OnControl(int32_t id) {
    switch (id) {
    case kSliderId: drawGrid(); break;
    case kFolderButtonId:
        if (std::optional<std::string> chosen = ChooseFolder(this, folder_)) showFolder(*chosen);
        break;
    case kOkId: ok(); break;
    case kCancelId: EndModal(0); break;
    default: break;
    }
}

void PictureChooser::ok() {
    bool any = false;
    for (const PictureEntry& e : entries_) {
        if (!e.selected) continue;
        if (e.folder) {
            showFolder(joinPath(folder_, e.name));
            return;
        }
        any = true;
    }
    if (any) EndModal(1);
}

void PictureChooser::OnDropFile(const std::string& path, int32_t, int32_t) {
    showFolder(isDirectory(path) ? path : folderOf(path));
}

std::vector<std::string> PictureChooser::selectedPaths() const {
    std::vector<std::string> out;
    for (const PictureEntry& e : entries_)
        if (e.selected && !e.folder) out.push_back(joinPath(folder_, e.name));
    std::sort(out.begin(), out.end());
    return out;
}

std::optional<std::vector<std::string>> choosePictures(Window* parent, const std::string& startFolder, bool multiple) {
    PictureChooser chooser(parent, multiple);
    chooser.showFolder(startFolder);
    chooser.CentreOnScreen();
    int32_t result = chooser.RunModal();
    std::vector<std::string> chosen = chooser.selectedPaths();
    chooser.Destroy();
    if (result != 1 || chosen.empty()) return std::nullopt;
    return chosen;
}

}  // namespace tavlin
