#include "ui/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

namespace tavlin {

namespace {
QClipboard* board() { return QGuiApplication::instance() ? QGuiApplication::clipboard() : nullptr; }
}  // namespace

std::optional<std::string> ClipboardGetText() {
    QClipboard* c = board();
    if (!c) return std::nullopt;
    const QMimeData* data = c->mimeData();
    if (!data || !data->hasText()) return std::nullopt;
    return c->text().toStdString();
}

bool ClipboardSetText(const std::string& text) {
    QClipboard* c = board();
    if (!c) return false;
    c->setText(QString::fromStdString(text));
    return true;
}

std::unique_ptr<Image> ClipboardGetImage(bool* tooLarge) {
    if (tooLarge) *tooLarge = false;
    QClipboard* c = board();
    if (!c) return nullptr;
    QImage q = c->image();
    if (q.isNull()) return nullptr;
    // Checked before the conversion, which would allocate the absurd size.
    if (!imageSizeAllowed(q.width(), q.height())) {
        if (tooLarge) *tooLarge = true;
        return nullptr;
    }
    q = q.convertToFormat(QImage::Format_ARGB32);
    auto img = Image::create(q.width(), q.height());
    if (!img) return nullptr;
    for (int32_t y = 0; y < q.height(); ++y) {
        const auto* src = reinterpret_cast<const uint32_t*>(q.constScanLine(y));
        uint32_t* dst = img->row(y);
        for (int32_t x = 0; x < q.width(); ++x) dst[x] = src[x] | 0xFF000000u;
    }
    return img;
}

bool ClipboardSetImage(const Image& image) {
    QClipboard* c = board();
    if (!c || image.empty()) return false;
    QImage q(image.width, image.height, QImage::Format_ARGB32);
    for (int32_t y = 0; y < image.height; ++y) {
        auto* dst = reinterpret_cast<uint32_t*>(q.scanLine(y));
        const uint32_t* src = image.row(y);
        for (int32_t x = 0; x < image.width; ++x) dst[x] = src[x];
    }
    c->setImage(q);
    return true;
}

}  // namespace tavlin
