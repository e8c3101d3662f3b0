#include "ui/audio_output.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QMediaDevices>
#include <QWidget>

#include <algorithm>
#include <cstring>

#include "ui/platform.h"
#include "ui/window.h"

namespace tavlin {

LoopingSource::LoopingSource(std::vector<uint8_t> data, uint32_t count) : data_(std::move(data)), count_(count) {
    if (data_.empty()) count_ = 0;
}

uint64_t LoopingSource::remaining() const {
    if (done_ >= count_) return 0;
    return uint64_t(count_ - done_) * data_.size() - offset_;
}

qint64 LoopingSource::bytesAvailable() const {
    return qint64(std::min<uint64_t>(remaining(), 1u << 30)) + QIODevice::bytesAvailable();
}

qint64 LoopingSource::readData(char* out, qint64 maxSize) {
    qint64 n = 0;
    while (n < maxSize && done_ < count_) {
        size_t take = std::min<size_t>(data_.size() - offset_, size_t(maxSize - n));
        std::memcpy(out + n, data_.data() + offset_, take);
        n += qint64(take);
        offset_ += take;
        if (offset_ == data_.size()) {
            offset_ = 0;
            ++done_;
        }
    }
    return n;
}

namespace {

// Receives the completion notice when no window is open.
class Receiver : public QObject {
public:
    bool event(QEvent* ev) override {
        if (ev->type() == kPlaybackDoneEvent) {
            AudioOutput::instance().playbackDone(static_cast<PlaybackDoneEvent*>(ev)->header);
            return true;
        }
        return QObject::event(ev);
    }
};

}  // namespace

AudioOutput& AudioOutput::instance() {
    static AudioOutput output;
    return output;
}

AudioOutput::AudioOutput() : receiver_(std::make_unique<Receiver>()) {}

AudioOutput::~AudioOutput() { release(); }

bool AudioOutput::play(const Sound& sound, bool loop) {
    stop();
    if (sound.length() < 2) return false;
    QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return false;
    QAudioFormat format;
    format.setSampleRate(8000);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format)) return false;

    std::vector<uint8_t> copy(sound.data.begin(), sound.data.begin() + (sound.length() & ~1u));
    source_ = new LoopingSource(std::move(copy), loop ? kLoopCount : 1);
    source_->open(QIODevice::ReadOnly);
    sink_ = new QAudioSink(device, format);
    header_ = ++serial_;
    uint64_t header = header_;
    QObject::connect(sink_, &QAudioSink::stateChanged, [this, header](QAudio::State state) {
        // Idle with nothing left to read: the sound has ended.
        if (state != QAudio::IdleState || header != header_ || !source_ || source_->remaining() > 0) return;
        QObject* target = receiver_.get();
        if (!TopLevelWindows().empty() && TopLevelWindows().front()->client())
            target = TopLevelWindows().front()->client();
        QCoreApplication::postEvent(target, new PlaybackDoneEvent(header));
    });
    sink_->start(source_);
    if (sink_->error() != QAudio::NoError || sink_->state() == QAudio::StoppedState) {
        release();
        return false;
    }
    return true;
}

void AudioOutput::release() {
    if (sink_) {
        sink_->disconnect();
        sink_->stop();
        delete sink_;
        sink_ = nullptr;
    }
    delete source_;
    source_ = nullptr;
    header_ = 0;
}

void AudioOutput::stop() { release(); }

void AudioOutput::playbackDone(uint64_t header) {
    if (header == 0 || header != header_) return;
    release();
}

}  // namespace tavlin
