#include "speech_output.h"

#include "engine_choice.h"
#include "portaudio_sink.h"
#include "text_normalizer.h"

#include <QDeadlineTimer>

#include <cstdio>

namespace orvane::speech {
namespace {

void printLine(const QString& line) {
    std::fprintf(stderr, "orvane: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

// A text as one line of a message: line breaks written as "\n".
QString oneLine(QString text) {
    return text.replace(QLatin1String("\r\n"), QLatin1String("\\n"))
        .replace(u'\n', QLatin1String("\\n"))
        .replace(u'\r', QLatin1String("\\n"));
}

}  // namespace

SpeechOutput::SpeechOutput(Options options)
    : transcript_(options.transcriptPath ? *options.transcriptPath
                                         : qEnvironmentVariable("ORVANE_TRANSCRIPT")),
      engine_(std::move(options.engine)),
      sink_(std::move(options.sink)),
      cache_(options.cacheBytes) {
    if (!engine_) {
        EngineChoice choice = chooseEngine();
        engine_ = std::move(choice.engine);
        printLine(choice.summary);
    }
    engineName_ = engine_->name();
    if (!sink_) {
        sink_ = std::make_shared<PortAudioSink>();
    }
    synthesisThread_.reset(QThread::create([this] { synthesisLoop(); }));
    playerThread_.reset(QThread::create([this] { playerLoop(); }));
    synthesisThread_->start();
    playerThread_->start();
}

SpeechOutput::~SpeechOutput() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        cut_ = true;
    }
    changed_.notify_all();
    synthesisThread_->wait();
    // The player stops between blocks of audio; a device that never returns must
    // not keep the program from ending.
    if (!playerThread_->wait(QDeadlineTimer(5000))) {
        printLine(QStringLiteral("the sound output does not respond; stopping it"));
        playerThread_->terminate();
        playerThread_->wait();
    }
}

quint64 SpeechOutput::enqueue(Pending item) {
    quint64 id;
    {
        std::lock_guard lock(mutex_);
        id = item.id = ++lastQueued_;
        queue_.push_back(std::move(item));
    }
    changed_.notify_all();
    return id;
}

quint64 SpeechOutput::speak(const QString& text, const VoiceSettings& voice) {
    transcript_.append(text);
    if (text.isEmpty()) {
        return 0;
    }
    return enqueue({0, text, voice, nullptr});
}

quint64 SpeechOutput::play(std::unique_ptr<ClipSource> clip) {
    return enqueue({0, {}, {}, std::move(clip)});
}

void SpeechOutput::stop() {
    std::deque<Pending> dropped;  // closed outside the lock: a clip may hold a file
    quint64 lastId;
    {
        std::lock_guard lock(mutex_);
        ++generation_;
        dropped.swap(queue_);
        pieces_.clear();
        cut_ = true;
        discardPending_ = true;
        lastId = lastFinished_ = lastQueued_;
    }
    changed_.notify_all();
    engine_->interrupt();  // a long stale text need not be synthesised to its end
    emit cleared(lastId);
}

quint64 SpeechOutput::lastFinished() const {
    std::lock_guard lock(mutex_);
    return lastFinished_;
}

bool SpeechOutput::isIdle() const {
    std::lock_guard lock(mutex_);
    return lastFinished_ == lastQueued_;
}

bool SpeechOutput::waitUntilIdle(int timeoutMs) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [this] { return lastFinished_ == lastQueued_; });
}

bool SpeechOutput::isCurrent(quint64 generation) const {
    std::lock_guard lock(mutex_);
    return !stopping_ && generation_ == generation;
}

bool SpeechOutput::hand(Piece piece, quint64 generation) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] {
        return stopping_ || generation_ != generation || pieces_.size() < kAheadPieces;
    });
    if (stopping_ || generation_ != generation) {
        return false;
    }
    pieces_.push_back(std::move(piece));
    changed_.notify_all();
    return true;
}

void SpeechOutput::synthesisLoop() {
    for (;;) {
        Pending next;
        quint64 generation;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) {
                break;
            }
            next = std::move(queue_.front());
            queue_.pop_front();
            generation = generation_;
        }
        if (next.clip) {
            decodeClip(next, generation);
        } else {
            synthesizeText(next, generation);
        }
    }
    // The engine may own processes and objects of this thread.
    engine_.reset();
}

void SpeechOutput::synthesizeText(const Pending& item, quint64 generation) {
    const QStringList parts = splitForSynthesis(normalizeForSpeech(item.text));
    bool reported = false;
    for (qsizetype i = 0; i <= parts.size(); ++i) {
        Piece piece{item.id, {}, {}, i == 0, i == parts.size()};
        if (piece.first) {
            piece.text = item.text;
        }
        if (i < parts.size()) {
            if (!isCurrent(generation)) {
                return;  // stopped: the rest of a long text is not synthesised
            }
            if (auto cached = cache_.find(parts[i], item.voice)) {
                piece.audio = std::move(*cached);
            } else if (Synthesis result = engine_->synthesize(parts[i], item.voice); result) {
                Audio* audio = &*result;
                // A pause that fits how the piece ends: sentence, phrase or text.
                const QChar end = parts[i].back();
                const int tailMs = QStringLiteral("。！？!?").contains(end) ? 300
                                   : QStringLiteral("、，,").contains(end)  ? 150
                                                                            : 200;
                trimSilence(*audio, 30, tailMs);
                cache_.insert(parts[i], item.voice, *audio);
                piece.audio = std::move(*audio);
            } else if (!isCurrent(generation)) {
                return;  // interrupted by a stop
            } else if (!reported) {
                reported = true;
                printLine(QStringLiteral("%1 could not speak \"%2\": %3")
                              .arg(engine_->name(), oneLine(item.text), result.failure().reason));
            }
        }
        if (!hand(std::move(piece), generation)) {
            return;
        }
    }
}

void SpeechOutput::decodeClip(Pending& item, quint64 generation) {
    // Without sound the clip passes at once, undecoded, like speech does.
    for (bool first = true;; first = false) {
        Audio block = sinkFailed_ ? Audio{} : item.clip->next();
        const bool last = block.samples.empty();
        if (!hand({item.id, {}, std::move(block), first, last}, generation) || last) {
            return;
        }
    }
}

void SpeechOutput::playerLoop() {
    bool reported = false;
    for (;;) {
        Piece piece;
        quint64 generation;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock,
                          [this] { return stopping_ || discardPending_ || !pieces_.empty(); });
            if (stopping_) {
                break;
            }
            if (discardPending_) {
                discardPending_ = false;
                cut_ = false;
                lock.unlock();
                if (!sinkFailed_) {
                    sink_->discard();
                }
                continue;
            }
            piece = std::move(pieces_.front());
            pieces_.pop_front();
            generation = generation_;
        }
        changed_.notify_all();  // room for the synthesis thread
        if (piece.first) {
            emit started(piece.id, piece.text);
        }
        if (!sinkFailed_ && !piece.audio.samples.empty()) {
            if (const Expected<void> played = sink_->play(piece.audio, cut_); !played) {
                sinkFailed_ = true;
                reportOnce(reported,
                           played.failure().reason + QStringLiteral("; going on without sound"));
            }
        }
        if (!piece.last) {
            continue;
        }
        bool queueEmpty;
        {
            std::lock_guard lock(mutex_);
            if (generation_ != generation) {
                continue;  // stopped meanwhile: stop() has finished it
            }
            queueEmpty = pieces_.empty() && queue_.empty();
        }
        if (queueEmpty && !sinkFailed_) {
            sink_->drain(cut_);
        }
        {
            std::lock_guard lock(mutex_);
            if (generation_ != generation) {
                continue;
            }
            lastFinished_ = piece.id;
        }
        changed_.notify_all();
        emit finished(piece.id);
    }
}

void SpeechOutput::reportOnce(bool& reported, const QString& line) {
    if (!reported) {
        reported = true;
        printLine(line);
    }
}

}  // namespace orvane::speech
