#include "agent.h"

#include "character.h"
#include "speech_output.h"

#include <QDir>
#include <QFileInfo>

namespace orvane::speech {

Agent::Agent(Options options)
    : options_(std::move(options)),
      output_(std::make_shared<SpeechOutput>(options_.transcriptPath)) {}

Agent::~Agent() = default;

void Agent::setConnected(bool connected) { connected_ = connected; }

std::optional<QString> Agent::load(const QString& id, const QString& file) {
    for (const QString& dir : options_.characterDirs) {
        const QDir d(dir);
        const QStringList entries = d.entryList(QDir::Files);
        for (const QString& entry : entries) {
            if (entry.compare(file, Qt::CaseInsensitive) == 0) {
                CharacterProfile profile;
                profile.name = QFileInfo(entry).completeBaseName();
                characters_[id] = std::make_unique<Character>(profile, output_);
                return std::nullopt;
            }
        }
    }
    return QStringLiteral("キャラクターファイル %1 が見つかりません").arg(file);
}

Character* Agent::character(const QString& id) const {
    const auto it = characters_.find(id);
    return it == characters_.end() ? nullptr : it->second.get();
}

void Agent::unload(const QString& id) { characters_.erase(id); }

}  // namespace orvane::speech
