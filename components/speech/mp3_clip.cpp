#include "mp3_clip.h"

#include <QFile>
#include <QFileInfo>

#include <mpg123.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

namespace orvane::speech {
namespace {

void initializeOnce() {
    // Needed by libmpg123 before 1.27, harmless after.
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
}

Failure notPlayable(const QString& path) {
    return fail(FailureKind::BadInput,
                QStringLiteral("音声ファイル %1 は再生できる MP3 ではありません")
                    .arg(QFileInfo(path).fileName()));
}

}  // namespace

Mp3Clip::Mp3Clip(Opened, mpg123_handle* handle, int fd) : handle_(handle), fd_(fd) {}

Mp3Clip::~Mp3Clip() {
    mpg123_close(handle_);
    mpg123_delete(handle_);
    ::close(fd_);
}

Expected<std::unique_ptr<Mp3Clip>> Mp3Clip::open(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR || path.isEmpty()) {
            return fail(FailureKind::NotFound,
                        QStringLiteral("音声ファイル %1 が見つかりません").arg(name));
        }
        return fail(
            FailureKind::BadInput,
            QStringLiteral("音声ファイル %1 を開けません：%2").arg(name, errorNumberText(error)));
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return fail(FailureKind::BadInput,
                    QStringLiteral("音声ファイル %1 はファイルではありません").arg(name));
    }
    initializeOnce();
    int error = MPG123_OK;
    mpg123_handle* handle = mpg123_new(nullptr, &error);
    if (!handle) {
        ::close(fd);
        return fail(FailureKind::Internal,
                    QStringLiteral("MP3 を読む準備ができません：%1")
                        .arg(QString::fromLocal8Bit(mpg123_plain_strerror(error))));
    }
    auto clip = std::make_unique<Mp3Clip>(Opened{}, handle, fd);
    // Mono 16-bit at whatever rate the file has; stereo mixed, not one side dropped.
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_MONO_MIX | MPG123_QUIET, 0);
    mpg123_format_none(handle);
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t i = 0; i < count; ++i) {
        mpg123_format(handle, rates[i], MPG123_MONO, MPG123_ENC_SIGNED_16);
    }
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_open_fd(handle, fd) != MPG123_OK ||
        mpg123_getformat(handle, &rate, &channels, &encoding) != MPG123_OK || rate <= 0) {
        return notPlayable(path);
    }
    clip->rate_ = int(rate);
    clip->first_ = clip->decodeBlock();
    if (clip->first_.samples.empty()) {
        return notPlayable(path);
    }
    return clip;
}

Audio Mp3Clip::next() {
    if (!first_.samples.empty()) {
        return std::exchange(first_, Audio{});
    }
    return decodeBlock();
}

Audio Mp3Clip::decodeBlock() {
    Audio block;
    block.sampleRate = rate_;
    if (ended_) {
        return block;
    }
    const std::size_t want = std::size_t(rate_) * kBlockMs / 1000;
    block.samples.resize(want);
    std::size_t have = 0;
    int idleReads = 0;
    while (have < want) {
        std::size_t bytes = 0;
        const int result =
            mpg123_read(handle_, reinterpret_cast<unsigned char*>(block.samples.data() + have),
                        (want - have) * sizeof(std::int16_t), &bytes);
        have += bytes / sizeof(std::int16_t);
        if (result == MPG123_NEW_FORMAT) {
            // A file joined from parts of different rates: a block has one rate.
            long rate = 0;
            int channels = 0, encoding = 0;
            mpg123_getformat(handle_, &rate, &channels, &encoding);
            if (rate > 0 && rate != rate_) {
                rate_ = int(rate);
                if (have > 0) {
                    break;
                }
                block.sampleRate = rate_;
            }
        } else if (result != MPG123_OK) {
            ended_ = true;  // the end, or a break the decoder cannot get past
            break;
        } else if (bytes == 0 && ++idleReads > 100) {
            ended_ = true;
            break;
        }
    }
    block.samples.resize(have);
    return block;
}

}  // namespace orvane::speech
