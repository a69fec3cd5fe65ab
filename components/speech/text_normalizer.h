#pragma once

#include <QString>
#include <QStringList>

namespace orvane::speech {

// Turns any text a caller may hand to Speak into text that every engine can read:
//  - full-width and half-width forms of letters, digits and katakana read alike
//    (Unicode compatibility folding);
//  - the wave dash 〜, the full-width tilde ～ and "~" read alike: "から" between
//    digits ("10〜20"), a long vowel after kana, otherwise a pause;
//  - line breaks and other control characters become pauses;
//  - signs no engine can read (♪, ☆, emoji, private-use characters) are dropped.
// The result holds no line break. It is empty when nothing speakable is left.
QString normalizeForSpeech(const QString& text);

// Cuts a normalised text into pieces that are synthesised one by one: after every
// sentence end, at a pause mark or blank once a piece passes `softLimit` characters,
// and hard at `hardLimit`. Keeps the order; drops no character but blanks at cuts.
QStringList splitForSynthesis(const QString& text, int softLimit = 24, int hardLimit = 120);

}  // namespace orvane::speech
