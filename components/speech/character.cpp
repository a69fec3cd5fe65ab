#include "character.h"

#include "character_window.h"
#include "speech_output.h"

#include <QApplication>

namespace orvane::speech {

Character::Character(CharacterProfile profile, std::shared_ptr<SpeechOutput> output)
    : profile_(std::move(profile)), output_(std::move(output)) {
    // Queued: the output emits from its player thread.
    connect(output_.get(), &SpeechOutput::started, this, &Character::onStarted,
            Qt::QueuedConnection);
    connect(output_.get(), &SpeechOutput::finished, this, &Character::onFinished,
            Qt::QueuedConnection);
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
    if (const quint64 id = output_->speak(text, profile_.voice)) {
        speaking_.insert(id);
    }
}

void Character::onStarted(quint64 id, const QString& text) {
    if (window_ && speaking_.count(id)) {
        window_->setBalloonText(text);
    }
}

void Character::onFinished(quint64 id) {
    if (speaking_.erase(id) == 0) {
        return;
    }
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
