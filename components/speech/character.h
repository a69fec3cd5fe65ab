#pragma once

#include <QPoint>
#include <QString>

#include <memory>

namespace orvane::speech {

class SpeechOutput;

// What a character file describes: how the character looks and sounds.
struct CharacterProfile {
    QString name;         // display name
    QString picturePath;  // absolute path of the picture, may be empty
    QString voicePath;    // HTS voice file, may be empty (engine default)
    double speed = 1.0;   // 1.0 normal
    double pitch = 0.0;   // semitones relative to the voice
    double volume = 1.0;  // 0..1
};

// One loaded character. Every call returns at once.
class Character {
public:
    Character(CharacterProfile profile, std::shared_ptr<SpeechOutput> output);
    virtual ~Character();

    const CharacterProfile& profile() const { return profile_; }

    void setLanguageId(int id) { languageId_ = id; }
    int languageId() const { return languageId_; }
    void setSoundEffectsOn(bool on) { soundEffectsOn_ = on; }
    bool soundEffectsOn() const { return soundEffectsOn_; }

    virtual void show();
    virtual void hide();
    bool isVisible() const { return visible_; }
    virtual void moveTo(int x, int y);
    QPoint position() const { return position_; }

    // Queues `text`; it is spoken after every text queued before it.
    void speak(const QString& text);

private:
    CharacterProfile profile_;
    std::shared_ptr<SpeechOutput> output_;
    int languageId_ = 1041;
    bool soundEffectsOn_ = false;
    bool visible_ = false;
    QPoint position_;
};

}  // namespace orvane::speech
