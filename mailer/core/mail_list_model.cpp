#include "mail_list_model.h"

#include "store_boundary.h"

#include <QFont>

namespace orvane::mailer {

namespace {

const QString kHeaders[MailListModel::kColumns] = {QStringLiteral("ID"), QStringLiteral("送信者"),
                                                   QStringLiteral("件名"),
                                                   QStringLiteral("受信日")};

QString cellText(const MailListRow& mail, int column) {
    switch (column) {
        case 0:
            return QString::number(mail.id);
        case 1:
            return mail.mailfrom;
        case 2:
            return MailListModel::subjectText(mail.subject, !mail.attach.isEmpty());
        default:
            return mail.date.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    }
}

}  // namespace

MailListModel::MailListModel(MailStore& store, Announcer& announcer, QObject* parent)
    : QAbstractTableModel(parent), store_(store), announcer_(announcer) {}

QString MailListModel::subjectText(const QString& subject, bool hasAttachment) {
    return hasAttachment ? QStringLiteral("♪　") + subject : subject;
}

void MailListModel::clear() {
    beginResetModel();
    folder_.clear();
    total_ = 0;
    rows_.clear();
    rows_.shrink_to_fit();
    endResetModel();
}

int MailListModel::showFolder(const QString& folder) {
    const int total = store_.mailCount(folder);
    std::vector<MailListRow> first = store_.mailPage(folder, nullptr, kPageSize);
    beginResetModel();
    folder_ = folder;
    total_ = total;
    rows_ = std::move(first);
    endResetModel();
    return total_;
}

const MailListRow* MailListModel::mailAt(int row) const {
    if (row < 1 || row > static_cast<int>(rows_.size())) {
        return nullptr;
    }
    return &rows_[static_cast<std::size_t>(row - 1)];
}

std::optional<int> MailListModel::rowOfMail(int id) const {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].id == id) {
            return static_cast<int>(i) + 1;
        }
    }
    return std::nullopt;
}

void MailListModel::setRead(int row) {
    if (mailAt(row) == nullptr) {
        return;
    }
    rows_[static_cast<std::size_t>(row - 1)].readflag = kRead;
    emit dataChanged(index(row, 0), index(row, kColumns - 1), {Qt::FontRole, kUnreadRole});
}

void MailListModel::removeMail(int row) {
    if (mailAt(row) == nullptr) {
        return;
    }
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + (row - 1));
    // The folder holds one mail fewer: paging goes on from the rows left.
    --total_;
    endRemoveRows();
}

int MailListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 1 + static_cast<int>(rows_.size());
}

int MailListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant MailListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() >= kColumns) {
        return {};
    }
    const MailListRow* mail = mailAt(index.row());
    if (index.row() == 0) {
        switch (role) {
            case Qt::DisplayRole:
                return kHeaders[index.column()];
            case kUnreadRole:
                return false;
            case kMailIdRole:
                return 0;
            default:
                return {};
        }
    }
    if (mail == nullptr) {
        return {};
    }
    const bool unread = mail->readflag == kUnread;
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return cellText(*mail, index.column());
        case Qt::FontRole: {
            QFont font;
            font.setBold(unread);
            return font;
        }
        case kUnreadRole:
            return unread;
        case kMailIdRole:
            return mail->id;
        default:
            return {};
    }
}

Qt::ItemFlags MailListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

bool MailListModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && static_cast<int>(rows_.size()) < total_;
}

void MailListModel::fetchMore(const QModelIndex& parent) {
    if (canFetchMore(parent)) {
        appendPage();
    }
}

void MailListModel::appendPage() {
    std::vector<MailListRow> page;
    const bool read = reportStoreFailures(announcer_, [&] {
        page = store_.mailPage(folder_, rows_.empty() ? nullptr : &rows_.back(), kPageSize);
    });
    if (!read || page.empty()) {
        // The folder holds fewer mails than counted (or cannot be read): stop
        // asking for more rather than asking again on every scroll.
        total_ = static_cast<int>(rows_.size());
        return;
    }
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(page.size()) - 1);
    rows_.insert(rows_.end(), std::make_move_iterator(page.begin()),
                 std::make_move_iterator(page.end()));
    endInsertRows();
}

}  // namespace orvane::mailer
