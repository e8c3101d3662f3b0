#pragma once
// Sound playback on the default audio output: 8000 Hz mono 16-bit, one sound at
// a time. The end of playback arrives as an event posted to the main window
// (or to the output itself when there is none) and is handed to playbackDone.

#include <QEvent>
#include <QIODevice>

#include <cstdint>
#include <memory>
#include <vector>

#include "media/audio/sound.h"

class QAudioSink;

namespace tavlin {

constexpr QEvent::Type kPlaybackDoneEvent = QEvent::Type(QEvent::User + 17);

struct PlaybackDoneEvent : QEvent {
    explicit PlaybackDoneEvent(uint64_t header) : QEvent(kPlaybackDoneEvent), header(header) {}
    uint64_t header;
};

// What the audio sink reads: a copy of the samples, `count` times over.
class LoopingSource : public QIODevice {
public:
    LoopingSource(std::vector<uint8_t> data, uint32_t count);
    qint64 bytesAvailable() const override;
    bool isSequential() const override { return true; }
    // Bytes still to be delivered.
    uint64_t remaining() const;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    std::vector<uint8_t> data_;
    uint32_t count_;
    uint32_t done_ = 0;  // whole passes delivered
    size_t offset_ = 0;  // within the current pass
};

class AudioOutput {
public:
    static AudioOutput& instance();
    ~AudioOutput();

    // With `loop` the sound is played 65535 times unless stopped. An empty
    // sound or a missing output device gives false, without a message.
    bool play(const Sound& sound, bool loop);
    void stop();
    // The completion notice; notices of an earlier sound are ignored.
    void playbackDone(uint64_t header);
    bool playing() const { return sink_ != nullptr; }
    // The header of the sound now playing (0 when idle).
    uint64_t header() const { return header_; }

    static constexpr uint32_t kLoopCount = 65535;

private:
    AudioOutput();
    void release();

    QAudioSink* sink_ = nullptr;
    LoopingSource* source_ = nullptr;
    uint64_t header_ = 0;
    uint64_t serial_ = 0;
    std::unique_ptr<QObject> receiver_;
};

}  // namespace tavlin
