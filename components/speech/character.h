#pragma once

#include "character_file.h"

#include <QObject>
#include <QPoint>
#include <QString>

#include <memory>
#include <set>

namespace orvane::speech {

class CharacterWindow;
class SpeechOutput;

// One loaded character. Every call returns at once.
//
// Show, Hide and MoveTo act on the character's window (created on the first Show
// where the program has a QApplication). Hide waits for the texts this character
// has queued before it: "Speak; Hide" lets the text be heard and seen whole. Show
// takes effect at once and cancels a waiting Hide. Hiding a hidden character
// changes nothing.
class Character : public QObject {
    Q_OBJECT
  public:
    Character(CharacterProfile profile, std::shared_ptr<SpeechOutput> output);
    ~Character() override;

    const CharacterProfile& profile() const { return profile_; }

    void setLanguageId(int id) { languageId_ = id; }
    int languageId() const { return languageId_; }
    void setSoundEffectsOn(bool on) { soundEffectsOn_ = on; }
    bool soundEffectsOn() const { return soundEffectsOn_; }

    virtual void show();
    virtual void hide();
    // The visibility last asked for.
    bool isVisible() const { return visible_; }
    virtual void moveTo(int x, int y);
    QPoint position() const { return position_; }

    // Queues `text`; it is spoken after every text queued before it.
    void speak(const QString& text);

    // The window, once shown (nullptr before, and in programs without widgets).
    CharacterWindow* window() const { return window_.get(); }

  private:
    void onStarted(quint64 id, const QString& text);
    void onFinished(quint64 id);
    void applyHide();

    CharacterProfile profile_;
    std::shared_ptr<SpeechOutput> output_;
    std::unique_ptr<CharacterWindow> window_;
    std::set<quint64> speaking_;  // this character's texts not yet played
    int languageId_ = 1041;
    bool soundEffectsOn_ = false;
    bool visible_ = false;
    bool hidePending_ = false;
    QPoint position_;
};

}  // namespace orvane::speech
