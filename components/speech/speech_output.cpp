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

quint64 SpeechOutput::speak(const QString& text, const VoiceSettings& voice) {
    transcript_.append(text);
    if (text.isEmpty()) {
        return 0;
    }
    quint64 id;
    {
        std::lock_guard lock(mutex_);
        id = ++lastQueued_;
        texts_.push_back({id, text, voice});
    }
    changed_.notify_all();
    return id;
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

void SpeechOutput::synthesisLoop() {
    for (;;) {
        Pending next;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || !texts_.empty(); });
            if (stopping_) {
                break;
            }
            next = std::move(texts_.front());
            texts_.pop_front();
        }
        const QStringList parts = splitForSynthesis(normalizeForSpeech(next.text));
        bool reported = false;
        for (qsizetype i = 0; i <= parts.size(); ++i) {
            Piece piece{next.id, {}, {}, i == 0, i == parts.size()};
            if (piece.first) {
                piece.text = next.text;
            }
            if (i < parts.size()) {
                if (auto cached = cache_.find(parts[i], next.voice)) {
                    piece.audio = std::move(*cached);
                } else if (Synthesis result = engine_->synthesize(parts[i], next.voice);
                           auto* audio = std::get_if<Audio>(&result)) {
                    // A pause that fits how the piece ends: sentence, phrase or text.
                    const QChar end = parts[i].back();
                    const int tailMs = QStringLiteral("。！？!?").contains(end) ? 300
                                       : QStringLiteral("、，,").contains(end)  ? 150
                                                                                : 200;
                    trimSilence(*audio, 30, tailMs);
                    cache_.insert(parts[i], next.voice, *audio);
                    piece.audio = std::move(*audio);
                } else if (!reported) {
                    reported = true;
                    printLine(QStringLiteral("%1 could not speak \"%2\": %3")
                                  .arg(engine_->name(), oneLine(next.text),
                                       std::get<EngineError>(result).reason));
                }
            }
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || pieces_.size() < kAheadPieces; });
            if (stopping_) {
                break;
            }
            pieces_.push_back(std::move(piece));
            changed_.notify_all();
        }
    }
    // The engine may own processes and objects of this thread.
    engine_.reset();
}

void SpeechOutput::playerLoop() {
    bool reported = false;
    for (;;) {
        Piece piece;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || !pieces_.empty(); });
            if (stopping_) {
                break;
            }
            piece = std::move(pieces_.front());
            pieces_.pop_front();
        }
        changed_.notify_all();  // room for the synthesis thread
        if (piece.first) {
            emit started(piece.id, piece.text);
        }
        if (!sinkFailed_ && !piece.audio.samples.empty()) {
            if (auto error = sink_->play(piece.audio, stopping_)) {
                sinkFailed_ = true;
                reportOnce(reported, *error + QStringLiteral("; going on without sound"));
            }
        }
        if (!piece.last) {
            continue;
        }
        bool queueEmpty;
        {
            std::lock_guard lock(mutex_);
            queueEmpty = pieces_.empty() && texts_.empty();
        }
        if (queueEmpty && !sinkFailed_) {
            sink_->drain();
        }
        {
            std::lock_guard lock(mutex_);
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
