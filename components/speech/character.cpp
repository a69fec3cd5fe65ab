#include "character.h"

#include "character_window.h"
#include "mp3_clip.h"
#include "speech_output.h"

#include <QApplication>

#include <algorithm>

namespace orvane::speech {

Character::Character(CharacterProfile profile, std::shared_ptr<SpeechOutput> output)
    : profile_(std::move(profile)), output_(std::move(output)) {
    // Queued: the output emits from its player thread.
    connect(output_.get(), &SpeechOutput::started, this, &Character::onStarted,
            Qt::QueuedConnection);
    connect(output_.get(), &SpeechOutput::finished, this, &Character::onFinished,
            Qt::QueuedConnection);
    // Directly when stopped from this thread, so that a waiting Hide acts at once.
    connect(output_.get(), &SpeechOutput::cleared, this, &Character::onCleared);
}

Character::~Character() = default;

void Character::show() {
    visible_ = true;
    hidePending_ = false;
    if (!window_ && qobject_cast<QApplication*>(QCoreApplication::instance())) {
        window_ = std::make_unique<CharacterWindow>(profile_.name, profile_.picturePath);
        if (!position_.isNull()) {
            window_->move(position_);
        }
    }
    if (window_) {
        window_->show();
    }
}

void Character::hide() {
    if (!visible_) {
        return;
    }
    visible_ = false;
    if (speaking_.empty()) {
        applyHide();
    } else {
        hidePending_ = true;
    }
}

void Character::applyHide() {
    hidePending_ = false;
    if (window_) {
        window_->setBalloonText({});
        window_->hide();
    }
}

void Character::moveTo(int x, int y) {
    position_ = QPoint(x, y);
    if (window_) {
        window_->move(position_);
    }
}

void Character::speak(const QString& text) {
    track(output_->speak(text, profile_.voice));
}

Expected<void> Character::playMp3(const QString& path) {
    auto clip = Mp3Clip::open(path);
    if (!clip) {
        return clip.failure();
    }
    track(output_->play(std::move(*clip)));
    return success();
}

void Character::playTone(int hertz, int milliseconds) {
    constexpr int kRate = 24000;
    if (milliseconds <= 0) {
        return;
    }
    track(output_->play(std::make_unique<AudioClip>(
        makeTone(std::clamp(hertz, 20, 10000), std::min(milliseconds, 10000), kRate))));
}

void Character::stop() {
    output_->stop();
}

void Character::track(quint64 id) {
    if (id != 0) {
        speaking_.insert(id);
    }
}

void Character::onStarted(quint64 id, const QString& text) {
    if (window_ && speaking_.count(id)) {
        window_->setBalloonText(text);
    }
}

void Character::onFinished(quint64 id) {
    if (speaking_.erase(id) != 0) {
        finishIfIdle();
    }
}

void Character::onCleared(quint64 lastId) {
    const bool had = !speaking_.empty();
    speaking_.erase(speaking_.begin(), speaking_.upper_bound(lastId));
    if (had) {
        finishIfIdle();
    }
}

void Character::finishIfIdle() {
    if (speaking_.empty()) {
        if (window_) {
            window_->setBalloonText({});
        }
        if (hidePending_) {
            applyHide();
        }
    }
}

}  // namespace orvane::speech
