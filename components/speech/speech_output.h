#pragma once

#include "audio_sink.h"
#include "engine.h"
#include "synthesis_cache.h"
#include "transcript.h"

#include <QObject>
#include <QString>
#include <QThread>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

namespace orvane::speech {

// The speech queue shared by every character of one Agent.
//
// speak() writes the transcript and queues the text, then returns. A synthesis
// thread takes the texts in order and synthesises each shortly before it is needed
// (at most kAheadPieces pieces wait for the player, so a long queue costs only its
// texts); a player thread hands the audio to the sink in the same order. So the next
// text is synthesised while the current one plays, and speech goes on while the
// calling thread is blocked. An engine error on one text is written to standard
// error and the queue goes on; a sink that fails is reported once and the queue goes
// on without sound.
class SpeechOutput : public QObject {
    Q_OBJECT
  public:
    static constexpr std::size_t kAheadPieces = 2;
    static constexpr std::size_t kDefaultCacheBytes = 16 * 1024 * 1024;

    struct Options {
        // Empty: ORVANE_TRANSCRIPT.
        std::optional<QString> transcriptPath;
        // Null: chosen by chooseEngine() from ORVANE_SPEECH.
        std::unique_ptr<Engine> engine;
        // Null: PortAudio's default output device.
        std::shared_ptr<AudioSink> sink;
        // Audio of recent pieces kept for repeated prompts; 0 turns it off.
        std::size_t cacheBytes = kDefaultCacheBytes;
    };

    explicit SpeechOutput(Options options);
    ~SpeechOutput() override;

    // Queues `text` and returns its number (increasing from 1). An empty text is
    // written to the transcript but not queued (returns 0).
    quint64 speak(const QString& text, const VoiceSettings& voice);

    // Number of the last text whose playing has ended (0: none yet).
    quint64 lastFinished() const;
    // True once every queued text has been played.
    bool isIdle() const;
    // Blocks until the queue is empty and played, or `timeoutMs` passed. Returns
    // whether the queue is idle.
    bool waitUntilIdle(int timeoutMs);

    QString engineName() const { return engineName_; }

  signals:
    // Emitted from the player thread; connect with a receiver in the GUI thread.
    void started(quint64 id, const QString& text);
    void finished(quint64 id);

  private:
    struct Pending {
        quint64 id;
        QString text;
        VoiceSettings voice;
    };
    struct Piece {
        quint64 id;
        QString text;  // set on a text's first piece
        Audio audio;
        bool first = false;
        bool last = false;
    };

    void synthesisLoop();
    void playerLoop();
    void reportOnce(bool& reported, const QString& line);

    Transcript transcript_;
    std::unique_ptr<Engine> engine_;
    std::shared_ptr<AudioSink> sink_;
    QString engineName_;
    SynthesisCache cache_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Pending> texts_;
    std::deque<Piece> pieces_;
    quint64 lastQueued_ = 0;
    quint64 lastFinished_ = 0;
    std::atomic<bool> stopping_ = false;
    bool sinkFailed_ = false;

    std::unique_ptr<QThread> synthesisThread_;
    std::unique_ptr<QThread> playerThread_;
};

}  // namespace orvane::speech
