#pragma once

#include "transport_result.h"

#include <QString>

namespace orvane::mail {

// Which of the account's two servers a failure concerns.
enum class ServerRole { Receiving, Sending };

// The Japanese sentence for a failure of `kind` in talking to `server`
// ("host:port"), with `detail` (the server's words, the system's reason) in
// brackets after it when given.
Failure serverFailure(ServerRole role, FailureKind kind, const QString& server,
                      const QString& detail = {});

// "時間切れ" details: the server fell silent, or the whole operation
// passed its limit of `seconds`.
QString silenceDetail();
QString deadlineDetail(qint64 seconds);

// The refusal to log in or send over a connection without encryption, naming
// the explicit plain form of `server` ("pop3://host:port") that allows it.
Failure plainConnectionRefused(ServerRole role, const QString& server);

}  // namespace orvane::mail
