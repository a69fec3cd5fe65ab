#include "transport_failure.h"

namespace orvane::mail {

namespace {

QString roleName(ServerRole role) {
    return role == ServerRole::Receiving ? QStringLiteral("受信サーバー")
                                         : QStringLiteral("送信サーバー");
}

}  // namespace

Failure serverFailure(ServerRole role, FailureKind kind, const QString& server,
                      const QString& detail) {
    const QString who = roleName(role) + QLatin1Char(' ') + server;
    QString text;
    switch (kind) {
        case FailureKind::Unreachable:
            text = QStringLiteral("%1 に接続できません").arg(who);
            break;
        case FailureKind::Timeout:
            text = QStringLiteral("%1 との通信が時間切れになりました").arg(who);
            break;
        case FailureKind::Tls:
            text = QStringLiteral("%1 と安全に接続できません。暗号化か証明書の確認に失敗しました")
                       .arg(who);
            break;
        case FailureKind::Login:
            text =
                QStringLiteral("%1 にログインできません。ユーザー名かパスワードを確かめてください")
                    .arg(who);
            break;
        case FailureKind::Refused:
            text = role == ServerRole::Receiving
                       ? QStringLiteral("%1 が要求を断りました").arg(who)
                       : QStringLiteral("%1 がメールを受け付けませんでした").arg(who);
            break;
        case FailureKind::ConnectionLost:
            text = QStringLiteral("%1 との接続が途中で切れました").arg(who);
            break;
        case FailureKind::Protocol:
            text = QStringLiteral("%1 の応答が正しくありません").arg(who);
            break;
        default:
            text = role == ServerRole::Receiving ? QStringLiteral("受信したメールを保存できません")
                                                 : QStringLiteral("メールを送信できません");
            break;
    }
    if (!detail.isEmpty()) {
        text += QStringLiteral("（%1）").arg(detail);
    }
    return {kind, text};
}

QString silenceDetail() {
    return QStringLiteral("応答がありません");
}

QString deadlineDetail(qint64 seconds) {
    return QStringLiteral("制限時間の %1 秒を過ぎました").arg(seconds);
}

Failure plainConnectionRefused(ServerRole role, const QString& server) {
    if (role == ServerRole::Receiving) {
        return {
            FailureKind::Tls,
            QStringLiteral("受信サーバー %1 は暗号化（STLS）に対応していないため、パスワードを"
                           "送らずに中止しました。暗号化なしで受信してよい場合は、受信サーバーを"
                           "「pop3://%1」と指定してください")
                .arg(server)};
    }
    return {FailureKind::Tls,
            QStringLiteral("送信サーバー %1 は暗号化（STARTTLS）に対応していないため、送信を"
                           "中止しました。暗号化なしで送信してよい場合は、送信サーバーを"
                           "「smtp://%1」と指定してください")
                .arg(server)};
}

}  // namespace orvane::mail
