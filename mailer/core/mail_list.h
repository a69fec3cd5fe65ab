#pragma once

#include "mail_list_model.h"

#include <QObject>

#include <optional>

class QTableView;

namespace orvane::mailer {

class Announcer;
class MailStore;
struct MailerState;

// The mail list: the grid MSFlexGrid1 showing the mails of the current folder.
// Reads MailerState::current_folder; read_mail_from_db drops a pending move
// (move_mode).
//
// Moving through the list (arrows, page keys, a click) reads the new row
// aloud, cutting off what was being said, while "矢印で件名を読む" is on
// (kept in the store). Moves made by the program itself are never read.
// The grid always has a current index, on the header row when nothing else.
class MailList : public QObject {
  public:
    MailList(MailStore& store, Announcer& announcer, MailerState& state, QTableView* grid,
             QObject* parent = nullptr);

    // Clears the grid to its header row and sets its columns.
    void init_mail_grid();
    // Lists the current folder and says how many mails it holds.
    // Throws StoreError.
    void read_mail_from_db();
    // Reads aloud every subject of the list, or only the unread ones.
    void read_subject_Click();
    void speak_unread_mail_Click();
    void display_mail_list_Click();
    void move_to_mail_list_Click();
    // The mail list got the focus: the status line names the folder.
    void gotFocus();

    bool readsRowOnArrows() const { return readsRowOnArrows_; }
    // "矢印で件名を読む": turns the reading of rows on or off and keeps the choice.
    void arrow_reading_Click();

    // Moves the current cell without reading the row.
    void setCurrentCell(int row, int column);
    // The grid row of the current cell when it stands on a mail (not on the
    // header row).
    std::optional<int> currentMailRow() const;
    // The mail of `row` was read: its bold goes at once.
    void markRowRead(int row);
    // Takes the mail of `row` out of the list without reading any row aloud.
    // A cursor on it goes to the row that took its place (the one above at
    // the end, the header row when no mail is left); elsewhere it stays on
    // its mail.
    void removeMailRow(int row);
    // The sender and subject texts of a mail row, as listed.
    QString cellText(int row, int column) const;
    int mail_count() const { return mailCount_; }
    MailListModel& model() { return model_; }

    // What moving onto `row` says: "ヘッダー行", or the subject, then the
    // sender's name (the address when the mail gives no name).
    QStringList rowSpeech(int row) const;
    static QString senderName(const QString& mailfrom);

    // Column widths in twips (1/1440 inch), turned into pixels on the screen.
    static constexpr int kColumnTwips[MailListModel::kColumns] = {500, 2500, 4500, 1880};

  private:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous);
    void keepACurrentIndex();
    void speakSubjects(const std::vector<MailSubject>& subjects);

    MailStore& store_;
    Announcer& announcer_;
    MailerState& state_;
    QTableView* grid_;
    MailListModel model_;
    int mailCount_ = 0;
    bool readsRowOnArrows_ = true;
    bool movingByProgram_ = false;
};

}  // namespace orvane::mailer
