#pragma once

#include "clip_source.h"
#include "expected.h"

#include <QString>

#include <memory>

typedef struct mpg123_handle_struct mpg123_handle;

namespace orvane::speech {

// An MP3 file decoded block by block (half a second each) into mono 16-bit samples
// at the file's own rate; stereo is mixed. The file stays open until the clip is
// destroyed, so it may be removed once open() has returned.
class Mp3Clip final : public ClipSource {
  public:
    static constexpr int kBlockMs = 500;

    // Opens `path` and decodes its first block, so that a file that is missing
    // (NotFound) or holds no MPEG audio (BadInput) is reported here, with a Japanese
    // reason naming the file.
    static Expected<std::unique_ptr<Mp3Clip>> open(const QString& path);
    ~Mp3Clip() override;
    Mp3Clip(const Mp3Clip&) = delete;
    Mp3Clip& operator=(const Mp3Clip&) = delete;

    // A damaged stretch is skipped where the decoder finds its way again; a file
    // that breaks off ends the clip there.
    Audio next() override;

  private:
    struct Opened {};  // only open() makes a clip

  public:
    Mp3Clip(Opened, mpg123_handle* handle, int fd);

  private:
    Audio decodeBlock();

    mpg123_handle* handle_;
    int fd_;
    int rate_ = 0;
    bool ended_ = false;
    Audio first_;  // decoded by open()
};

}  // namespace orvane::speech
