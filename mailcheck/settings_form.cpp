#include "settings_form.h"

#include "announcer.h"

#include <QLineEdit>

namespace orvane::mailcheck {

SettingsForm::SettingsForm(Boxes boxes, QString filePath, Announcer& announcer)
    : boxes_(boxes), filePath_(std::move(filePath)), announcer_(announcer) {}

Expected<CheckerSettings> SettingsForm::read_ini() {
    Expected<CheckerSettings> read = readSettingsFile(filePath_);
    if (!read) {
        return read;
    }
    const CheckerSettings& settings = *read;
    boxes_.pop->setText(settings.pop);
    boxes_.account->setText(settings.account);
    boxes_.password->setText(settings.password);
    boxes_.interval->setText(settings.interval);
    character_ = settings.character;
    if (Expected<void> usable = checkSettings(settings); !usable) {
        return usable.failure();
    }
    emit applied(settings, tickLimitFor(settings.interval).value());
    return read;
}

void SettingsForm::askForSettings(const Failure& why) {
    const QString request =
        QStringLiteral("pop、account、password、メール検査周期を入れて、保存を押してください");
    const QString reason = why.kind == FailureKind::NotFound
                               ? QStringLiteral("メールチェックの設定がありません")
                               : why.reason;
    announcer_.notify(reason + QStringLiteral("。") + request);
}

CheckerSettings SettingsForm::fromBoxes() const {
    return CheckerSettings{boxes_.pop->text(), boxes_.account->text(), boxes_.password->text(),
                           plainInterval(boxes_.interval->text()), character_};
}

Expected<CheckerSettings> SettingsForm::save_ini() {
    const CheckerSettings settings = fromBoxes();
    if (Expected<void> usable = checkSettings(settings); !usable) {
        announcer_.notify(usable.failure().reason);
        return usable.failure();
    }
    if (Expected<void> written = writeSettingsFile(filePath_, settings); !written) {
        announcer_.notify(written.failure().reason);
        return written.failure();
    }
    boxes_.interval->setText(settings.interval);
    emit applied(settings, tickLimitFor(settings.interval).value());
    announcer_.notify(QStringLiteral("設定を保存しました"));
    return settings;
}

}  // namespace orvane::mailcheck
