#pragma once

#include "engine.h"

#include "expected.h"

#include <QString>
#include <QStringList>

namespace orvane::speech {

// What a character file describes: how the character looks and sounds.
struct CharacterProfile {
    QString name;         // display name
    QString picturePath;  // absolute path of the picture, may be empty
    VoiceSettings voice;  // voice.voicePath absolute, may be empty (engine default)
};

// A character file, NAME.acs: UTF-8 text, one "key=value" a line, "#" starts a
// comment line. Keys:
//   name    display name (required)
//   picture picture file (PNG), relative to the character file's folder
//   voice   HTS voice file for Open JTalk, relative to the folder or absolute
//   speed   1.0 is normal speed (0.5 .. 2.0)
//   pitch   semitones up (+) or down (-) from the voice (-12 .. 12)
//   volume  0.0 .. 1.0
// Unknown keys are ignored, so that later versions may add some. A failure's reason
// is fit to be shown and spoken.
Expected<CharacterProfile> readCharacterFile(const QString& path);

// The file in `dirs` (searched in order) whose name equals `fileName` without regard
// to case; empty if none.
QString findCharacterFile(const QStringList& dirs, const QString& fileName);

}  // namespace orvane::speech
