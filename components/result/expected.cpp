#include "expected.h"

#include <cerrno>
#include <cstring>

namespace orvane {

QString errorNumberText(int errorNumber) {
    switch (errorNumber) {
        case ENOSPC:
            return QStringLiteral("ディスクがいっぱいです");
        case EDQUOT:
            return QStringLiteral("ディスクの使用量の上限を超えました");
        case EACCES:
        case EPERM:
            return QStringLiteral("アクセスする権限がありません");
        case ENOENT:
            return QStringLiteral("ファイルまたはフォルダーがありません");
        case ENOTDIR:
            return QStringLiteral("途中の名前がフォルダーではありません");
        case EISDIR:
            return QStringLiteral("フォルダーです");
        case EEXIST:
            return QStringLiteral("同じ名前のファイルがすでにあります");
        case EROFS:
            return QStringLiteral("読み取り専用の場所です");
        case EIO:
            return QStringLiteral("ディスクの読み書きに失敗しました");
        case ENAMETOOLONG:
            return QStringLiteral("名前が長すぎます");
        case EMFILE:
        case ENFILE:
            return QStringLiteral("開いているファイルが多すぎます");
        case EFBIG:
            return QStringLiteral("ファイルが大きすぎます");
        case ENOMEM:
            return QStringLiteral("メモリーが足りません");
        default:
            return QStringLiteral("システムエラー %1（%2）")
                .arg(errorNumber)
                .arg(QString::fromLocal8Bit(std::strerror(errorNumber)));
    }
}

Failure fileFailure(const QString& what, const QString& action, int errorNumber) {
    return Failure{FailureKind::Disk,
                   QStringLiteral("%1 %2：%3").arg(what, action, errorNumberText(errorNumber))};
}

}  // namespace orvane
