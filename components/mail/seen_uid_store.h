#pragma once

#include "transport_result.h"

#include <QByteArray>
#include <QSet>
#include <QString>

namespace orvane::mail {

// The unique IDs (UIDL) of the mails of one account that were already
// reported, kept in a small file in the checker's mail folder that only the
// user may read (0600).
class SeenUidStore {
  public:
    // One file per server and user inside `folder`.
    SeenUidStore(const QString& folder, const QString& server, const QString& user);

    // A missing file reads as "nothing seen yet"; an unreadable one is a
    // failure (reading it as empty would report every mail again).
    Expected<QSet<QByteArray>> load() const;
    // Replaces the file atomically.
    Expected<void> save(const QSet<QByteArray>& uids) const;

    const QString& path() const { return path_; }

  private:
    QString path_;
};

}  // namespace orvane::mail
