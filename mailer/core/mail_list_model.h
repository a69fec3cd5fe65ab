#pragma once

#include "mail_store.h"

#include <QAbstractTableModel>

#include <optional>
#include <vector>

namespace orvane::mailer {

class Announcer;

// The rows of the mail list: row 0 is the header row ("ID", "送信者", "件名",
// "受信日"), rows 1 to n the mails of one folder in list order (newest
// first). Mails are read from the store a page at a time as the view asks for
// them (canFetchMore/fetchMore), so a folder of any size opens at once.
// A store failure while fetching is reported through the announcer and ends
// the fetching; the rows already read stay.
class MailListModel : public QAbstractTableModel {
  public:
    // True on every cell of an unread mail's row: the list's record of the
    // unread state (shown bold).
    static constexpr int kUnreadRole = Qt::UserRole + 1;
    // The mail's id on every cell of its row; 0 on the header row.
    static constexpr int kMailIdRole = Qt::UserRole + 2;
    static constexpr int kColumns = 4;
    static constexpr int kPageSize = 200;

    MailListModel(MailStore& store, Announcer& announcer, QObject* parent = nullptr);

    // Only the header row; no folder.
    void clear();
    // Lists `folder` from its first page and returns how many mails it holds.
    // Throws StoreError when the store cannot tell.
    int showFolder(const QString& folder);

    const QString& folder() const { return folder_; }
    // Mails of the folder, read or not yet read from the store.
    int mailCount() const { return total_; }
    // The mail of grid row `row` (1 to rowCount() - 1), or nullptr.
    const MailListRow* mailAt(int row) const;
    // The grid row of the mail `id` among the rows read so far.
    std::optional<int> rowOfMail(int id) const;
    // The mail of `row` is read now: its row loses the unread role (and its bold).
    void setRead(int row);
    // Takes the mail of `row` out of the list (deleted, or moved to another folder).
    void removeMail(int row);

    // The subject cell's text: "♪　" before the subject of a mail with an attachment.
    static QString subjectText(const QString& subject, bool hasAttachment);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

  private:
    void appendPage();

    MailStore& store_;
    Announcer& announcer_;
    QString folder_;
    int total_ = 0;
    std::vector<MailListRow> rows_;
};

}  // namespace orvane::mailer
