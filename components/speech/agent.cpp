#include "agent.h"

#include "character.h"
#include "character_file.h"
#include "speech_output.h"

#include <QCoreApplication>
#include <QDir>

namespace orvane::speech {
namespace {

std::shared_ptr<SpeechOutput> makeOutput(const Agent::Options& options) {
    SpeechOutput::Options o;
    o.transcriptPath = options.transcriptPath;
    if (options.engineFactory) {
        o.engine = options.engineFactory();
    }
    o.sink = options.sink;
    o.cacheBytes = options.synthesisCacheBytes;
    return std::make_shared<SpeechOutput>(std::move(o));
}

}  // namespace

Agent::Agent(Options options) : options_(std::move(options)), output_(makeOutput(options_)) {
    if (options_.characterDirs.isEmpty()) {
        options_.characterDirs
            << QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("characters"));
    }
}

Agent::~Agent() {
    characters_.clear();
}

void Agent::setConnected(bool connected) {
    connected_ = connected;
}

Expected<Character*> Agent::load(const QString& id, const QString& file) {
    const QString path = findCharacterFile(options_.characterDirs, file);
    if (path.isEmpty()) {
        return fail(FailureKind::NotFound,
                    QStringLiteral("キャラクターファイル %1 が見つかりません").arg(file));
    }
    Expected<CharacterProfile> read = readCharacterFile(path);
    if (!read) {
        return read.failure();
    }
    auto& loaded = characters_[id];
    loaded = std::make_unique<Character>(std::move(read).value(), output_);
    return loaded.get();
}

Character* Agent::loadDefault(const QString& id) {
    CharacterProfile profile;
    profile.name = id;
    auto character = std::make_unique<Character>(std::move(profile), output_);
    Character* loaded = character.get();
    characters_[id] = std::move(character);
    return loaded;
}

Character* Agent::character(const QString& id) const {
    const auto it = characters_.find(id);
    return it == characters_.end() ? nullptr : it->second.get();
}

void Agent::unload(const QString& id) {
    characters_.erase(id);
}

bool Agent::waitUntilIdle(int timeoutMs) {
    return output_->waitUntilIdle(timeoutMs);
}

QString Agent::engineName() const {
    return output_->engineName();
}

}  // namespace orvane::speech
