#pragma once

#include "transport_options.h"
#include "transport_result.h"

#include <QString>
#include <QStringList>

namespace orvane::mail {

// RcvMail: one POP3 session that carries out `command`.
//  "STAT"      element 0 "count size" ("0 0" for an empty mailbox).
//  "LIST"      element 0 as for STAT, then "number size" per mail.
//  "SAVEALLD"  every mail saved as a file in mailDir, then deleted on the
//              server; element 0 as for STAT, then the full path of each file.
//              When the session fails before the server confirmed the end,
//              the files of this session are removed again: every mail is
//              then still on the server and nothing is reported twice.
//  "SAVEALL"   the mails not reported before (by UIDL, remembered in
//              mailDir) are saved; nothing is deleted. The elements are the
//              full paths of the new files; nothing new is an empty list.
// A mail the server refuses to hand out stays on the server and is tried
// again next time; the others arrive. When every mail was refused, the first
// refusal is the failure. Every failure carries a Japanese reason.
Expected<QStringList> receiveMail(const QString& server, const QString& user,
                                  const QString& password, const QString& command,
                                  const QString& mailDir, const TransportOptions& options);

}  // namespace orvane::mail
