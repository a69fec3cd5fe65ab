#pragma once

#include "audio_sink.h"
#include "clip_source.h"
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

// The speech queue shared by every character of one Agent: texts to speak and clips
// to play (sound files, beeps), heard one after the other in call order.
//
// speak() writes the transcript and queues the text, then returns; play() queues a
// clip. A synthesis thread takes the items in order and makes each ready shortly
// before it is needed (at most kAheadPieces pieces wait for the player, so a long
// queue costs only its texts, and a long clip only a few blocks); a player thread
// hands the audio to the sink in the same order. So the next text is synthesised
// while the current one plays, and speech goes on while the calling thread is
// blocked. An engine error on one text is written to standard error and the queue
// goes on; a sink that fails is reported once and the queue goes on without sound
// (clips are then passed over without being decoded).
//
// stop() empties the queue: nothing queued before it reaches the sink afterwards,
// and what the sink holds is silenced; items queued after it play as usual.
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

    // Queues `text` and returns its number (increasing from 1, shared with clips).
    // An empty text is written to the transcript but not queued (returns 0).
    quint64 speak(const QString& text, const VoiceSettings& voice);
    // Queues `clip` after everything queued before it and returns its number.
    quint64 play(std::unique_ptr<ClipSource> clip);
    // Drops every queued text and clip, including the one being heard, and returns at
    // once; the sink is told to silence what it holds. Emits cleared().
    void stop();

    // Number of the last item whose playing has ended (0: none yet); every item
    // dropped by stop() counts as ended.
    quint64 lastFinished() const;
    // True once every queued item has been played or dropped.
    bool isIdle() const;
    // Blocks until the queue is empty and played, or `timeoutMs` passed. Returns
    // whether the queue is idle.
    bool waitUntilIdle(int timeoutMs);

    QString engineName() const { return engineName_; }

  signals:
    // Emitted from the player thread; connect with a receiver in the GUI thread. A
    // clip starts with an empty text.
    void started(quint64 id, const QString& text);
    void finished(quint64 id);
    // Emitted by stop() on the calling thread: every item numbered up to `lastId`
    // was dropped (finished() is not emitted for them).
    void cleared(quint64 lastId);

  private:
    struct Pending {
        quint64 id = 0;
        QString text;  // a text to speak, or
        VoiceSettings voice;
        std::unique_ptr<ClipSource> clip;  // a clip to play
    };
    struct Piece {
        quint64 id;
        QString text;  // set on a text's first piece
        Audio audio;
        bool first = false;
        bool last = false;
    };

    quint64 enqueue(Pending item);
    void synthesisLoop();
    void synthesizeText(const Pending& item, quint64 generation);
    void decodeClip(Pending& item, quint64 generation);
    // Waits for room and queues `piece` for the player; false once the queue was
    // stopped or emptied since `generation`, and the rest of the item is dropped.
    bool hand(Piece piece, quint64 generation);
    bool isCurrent(quint64 generation) const;
    void playerLoop();
    void reportOnce(bool& reported, const QString& line);

    Transcript transcript_;
    std::unique_ptr<Engine> engine_;
    std::shared_ptr<AudioSink> sink_;
    QString engineName_;
    SynthesisCache cache_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Pending> queue_;
    std::deque<Piece> pieces_;
    quint64 lastQueued_ = 0;
    quint64 lastFinished_ = 0;
    quint64 generation_ = 0;       // raised by every stop()
    bool discardPending_ = false;  // the player owes the sink a discard()
    bool stopping_ = false;        // the destructor runs
    // Set by stop() and the destructor, cleared by the player before the next piece:
    // the flag the sink watches while it plays.
    std::atomic<bool> cut_ = false;
    std::atomic<bool> sinkFailed_ = false;

    std::unique_ptr<QThread> synthesisThread_;
    std::unique_ptr<QThread> playerThread_;
};

}  // namespace orvane::speech
