#pragma once

#include "engine.h"

#include <QString>

#include <memory>

namespace orvane::speech {

// The HTS voice to use when a character names none: ORVANE_VOICE if it names an
// existing file, else the first *.htsvoice under the system's voice folders
// (/usr/share/hts-voice, /usr/local/share/hts-voice, /usr/share/open-jtalk/voices).
// Empty if there is none.
QString findDefaultHtsVoice();

struct EngineChoice {
    std::unique_ptr<Engine> engine;
    // One line for standard error: the engine and the voice in use, and why a
    // requested engine was not taken.
    QString summary;
};

// Picks the engine for `mode` ("auto", "jtalk", "espeak", "none"; empty: the
// variable ORVANE_SPEECH, default "auto"). auto takes Open JTalk where a voice is
// found, else the fallback (MeCab kana + espeak-ng), else silence. A requested
// engine that cannot run falls back the same way; the summary says so.
EngineChoice chooseEngine(const QString& mode = {});

}  // namespace orvane::speech
