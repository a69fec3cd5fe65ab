#include "agent_voice.h"

#include "agent.h"
#include "character.h"

namespace orvane::mailcheck {
namespace {

const QString kId = QStringLiteral("genie");

}  // namespace

AgentVoice::AgentVoice(speech::Agent& agent) : agent_(agent) {
    agent_.setConnected(true);
}

Expected<speech::Character*> AgentVoice::load(const QString& name) {
    // Loading replaces the character held under the ID, so the pointer is
    // taken afresh every time.
    character_ = nullptr;
    agent_.unload(kId);
    if (name.trimmed().isEmpty()) {
        return fail(FailureKind::BadInput, QStringLiteral("キャラクタが選ばれていません"));
    }
    return agent_.load(kId, name + QStringLiteral(".acs"));
}

Expected<void> AgentVoice::useCharacter(const QString& name) {
    auto chosen = load(name);
    if (chosen) {
        character_ = *chosen;
    } else {
        const QString fallback = QString::fromLatin1(kDefaultCharacter);
        auto standard = load(fallback);
        character_ = standard ? *standard : agent_.loadDefault(kId);
    }
    character_->setLanguageId(1041);
    character_->setSoundEffectsOn(false);
    if (!chosen) {
        return fail(chosen.failure().kind,
                    chosen.failure().reason + QStringLiteral("。標準のキャラクタで話します"));
    }
    return success();
}

void AgentVoice::show() {
    if (character_) {
        character_->show();
    }
}

void AgentVoice::speak(const QString& text) {
    if (character_) {
        character_->speak(text);
    }
}

void AgentVoice::hide() {
    if (character_) {
        character_->hide();
    }
}

Expected<void> AgentVoice::playMp3(const QString& path) {
    if (!character_) {
        return fail(FailureKind::Internal, QStringLiteral("キャラクタが読み込まれていません"));
    }
    return character_->playMp3(path);
}

bool AgentVoice::idle() const {
    return agent_.waitUntilIdle(0);
}

}  // namespace orvane::mailcheck
