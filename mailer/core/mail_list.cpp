#include "mail_list.h"

#include "announcer.h"
#include "focus_convention.h"
#include "mailer_state.h"
#include "store_boundary.h"

#include <QHeaderView>
#include <QScreen>
#include <QTableView>

#include <algorithm>

namespace orvane::mailer {

namespace {

int twipsToPixels(int twips, qreal dotsPerInch) {
    return qRound(twips * dotsPerInch / 1440.0);
}

}  // namespace

MailList::MailList(MailStore& store, Announcer& announcer, MailerState& state, QTableView* grid,
                   QObject* parent)
    : QObject(parent),
      store_(store),
      announcer_(announcer),
      state_(state),
      grid_(grid),
      model_(store, announcer) {
    grid_->setModel(&model_);
    grid_->horizontalHeader()->hide();  // row 0 is the header row
    grid_->verticalHeader()->hide();
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setTabKeyNavigation(false);
    grid_->setWordWrap(false);
    connect(grid_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &MailList::currentChanged);
    connect(&model_, &QAbstractItemModel::modelReset, this, &MailList::keepACurrentIndex);
    reportStoreFailures(announcer_, [this] { readsRowOnArrows_ = store_.readsRowOnArrows(); });
    keepACurrentIndex();
}

void MailList::init_mail_grid() {
    mailCount_ = 0;
    model_.clear();
    const qreal dpi = grid_->logicalDpiX();
    for (int column = 0; column < MailListModel::kColumns; ++column) {
        grid_->setColumnWidth(column, twipsToPixels(kColumnTwips[column], dpi));
    }
    FocusConvention::paint(grid_, grid_->hasFocus() ? focus_color : normal_color);
}

void MailList::read_mail_from_db() {
    state_.move_mode = false;
    announcer_.show_message(state_.current_folder);
    const int found = model_.showFolder(state_.current_folder);
    if (found > 0) {
        mailCount_ = found;
        setCurrentCell(1, 1);
        announcer_.speak(QStringLiteral("メール数は%1").arg(found));
    } else {
        announcer_.speak(QStringLiteral("新着メールは有りません"));
    }
}

void MailList::speakSubjects(const std::vector<MailSubject>& subjects) {
    for (const MailSubject& mail : subjects) {
        announcer_.speak(MailListModel::subjectText(mail.subject, mail.hasAttachment));
    }
}

void MailList::read_subject_Click() {
    const std::vector<MailSubject> subjects = store_.subjectsInFolder(state_.current_folder, false);
    if (subjects.empty()) {
        return;
    }
    speakSubjects(subjects);
    setCurrentCell(1, 1);
}

void MailList::speak_unread_mail_Click() {
    // Asked of the store, not of the grid: the grid holds only the rows read
    // so far, and the store's flags are the ones the grid shows.
    const std::vector<MailSubject> unread = store_.subjectsInFolder(state_.current_folder, true);
    if (unread.empty()) {
        announcer_.speak(QStringLiteral("未読メールは有りません"));
        return;
    }
    speakSubjects(unread);
    setCurrentCell(1, 1);
}

void MailList::display_mail_list_Click() {
    grid_->setFocus(Qt::ShortcutFocusReason);
}

void MailList::move_to_mail_list_Click() {
    display_mail_list_Click();
}

void MailList::gotFocus() {
    announcer_.show_message(state_.current_folder);
}

void MailList::arrow_reading_Click() {
    const bool on = !readsRowOnArrows_;
    store_.setReadsRowOnArrows(on);
    readsRowOnArrows_ = on;
    announcer_.speak(on ? QStringLiteral("矢印で件名を読みます")
                        : QStringLiteral("矢印で件名を読みません"));
}

std::optional<int> MailList::currentMailRow() const {
    const int row = grid_->currentIndex().row();
    if (row < 1 || row >= model_.rowCount()) {
        return std::nullopt;
    }
    return row;
}

void MailList::markRowRead(int row) {
    model_.setRead(row);
}

void MailList::removeMailRow(int row) {
    if (model_.mailAt(row) == nullptr) {
        return;
    }
    const QModelIndex current = grid_->currentIndex();
    const bool wasCurrent = current.row() == row;
    movingByProgram_ = true;
    model_.removeMail(row);
    movingByProgram_ = false;
    if (wasCurrent) {
        setCurrentCell(std::min(row, model_.rowCount() - 1), std::max(current.column(), 0));
    }
}

QString MailList::cellText(int row, int column) const {
    return model_.index(row, column).data().toString();
}

void MailList::setCurrentCell(int row, int column) {
    const QModelIndex target = model_.index(row, column);
    if (!target.isValid()) {
        return;
    }
    movingByProgram_ = true;
    grid_->setCurrentIndex(target);
    grid_->scrollTo(target);
    movingByProgram_ = false;
}

QStringList MailList::rowSpeech(int row) const {
    if (row == 0) {
        return {QStringLiteral("ヘッダー行")};
    }
    const MailListRow* mail = model_.mailAt(row);
    if (mail == nullptr) {
        return {};
    }
    // The subject alone first, so that it is heard soonest; then who sent it.
    return {MailListModel::subjectText(mail->subject, !mail->attach.isEmpty()),
            senderName(mail->mailfrom)};
}

QString MailList::senderName(const QString& mailfrom) {
    const QString from = mailfrom.trimmed();
    const qsizetype open = from.lastIndexOf(QLatin1Char('<'));
    if (open < 0 || !from.endsWith(QLatin1Char('>'))) {
        return from;
    }
    QString name = from.left(open).trimmed();
    if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"'))) {
        name = name.mid(1, name.size() - 2).trimmed();
    }
    return name.isEmpty() ? from.mid(open + 1).chopped(1).trimmed() : name;
}

void MailList::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    if (movingByProgram_ || !readsRowOnArrows_ || !current.isValid() ||
        (previous.isValid() && current.row() == previous.row())) {
        return;
    }
    announcer_.silence();
    for (const QString& text : rowSpeech(current.row())) {
        announcer_.speak(text);
    }
}

void MailList::keepACurrentIndex() {
    // Screen readers query the grid's current cell; it must always have one.
    if (!grid_->currentIndex().isValid()) {
        setCurrentCell(0, 1);
    }
}

}  // namespace orvane::mailer
