#pragma once

#include "character_file.h"
#include "expected.h"

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
// where the program has a QApplication). Hide waits for the texts and clips this
// character has queued before it: "Speak; PlayMp3; Hide" lets all of it be heard and
// seen whole. Show takes effect at once and cancels a waiting Hide. Hiding a hidden
// character changes nothing.
//
// Texts, sound files and beeps of all characters of one Agent share one queue and
// are heard one after the other, never over each other. ORVANE_SPEECH=none silences
// the speech engine only: sound files and beeps are still played.
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

    // Queues `text`; it is spoken after everything queued before it.
    void speak(const QString& text);

    // Decodes the MP3 file at `path` (any rate, mono or stereo) and queues it after
    // everything queued before it. A file that is missing (NotFound) or cannot be
    // opened or decoded (BadInput) is refused with a Japanese reason, and nothing is
    // queued. Without a sound device the clip passes silently, as speech does.
    Expected<void> playMp3(const QString& path);

    // Queues a sine beep of `hertz` (20 .. 10000) lasting `milliseconds` (at most
    // 10 s; 0 or less queues nothing).
    void playTone(int hertz, int milliseconds);

    // Silences the queue shared by all characters of the Agent: every queued text and
    // clip is dropped, and what is being heard stops within a few tens of
    // milliseconds. Returns at once; what is queued afterwards plays as usual. A Hide
    // waiting for the dropped items takes effect.
    void stop();

    // The window, once shown (nullptr before, and in programs without widgets).
    CharacterWindow* window() const { return window_.get(); }

  private:
    void onStarted(quint64 id, const QString& text);
    void onFinished(quint64 id);
    void onCleared(quint64 lastId);
    void track(quint64 id);
    void finishIfIdle();
    void applyHide();

    CharacterProfile profile_;
    std::shared_ptr<SpeechOutput> output_;
    std::unique_ptr<CharacterWindow> window_;
    std::set<quint64> speaking_;  // this character's texts and clips not yet played
    int languageId_ = 1041;
    bool soundEffectsOn_ = false;
    bool visible_ = false;
    bool hidePending_ = false;
    QPoint position_;
};

}  // namespace orvane::speech
