#include "server_address.h"

#include <QHostAddress>

#include <optional>

namespace orvane::mail {

namespace {

struct Scheme {
    const char* name;
    MailProtocol protocol;
    bool tls;
};

constexpr Scheme kSchemes[] = {
    {"pop3", MailProtocol::Pop3, false}, {"pop3s", MailProtocol::Pop3, true},
    {"pop", MailProtocol::Pop3, false},  {"pops", MailProtocol::Pop3, true},
    {"smtp", MailProtocol::Smtp, false}, {"smtps", MailProtocol::Smtp, true},
};

quint16 defaultPort(MailProtocol protocol, bool tls) {
    if (protocol == MailProtocol::Pop3) {
        return tls ? 995 : 110;
    }
    return tls ? 465 : 25;
}

bool isImplicitTlsPort(MailProtocol protocol, quint16 port) {
    return protocol == MailProtocol::Pop3 ? port == 995 : port == 465;
}

bool isValidHost(const QString& host) {
    if (host.isEmpty()) {
        return false;
    }
    for (QChar c : host) {
        if (c.isSpace() || c == QLatin1Char('/') || c == QLatin1Char('@') ||
            c == QLatin1Char('?') || c == QLatin1Char('#')) {
            return false;
        }
    }
    return true;
}

std::optional<ServerAddress> parse(const QString& text, MailProtocol protocol) {
    QString rest = text.trimmed();
    std::optional<bool> schemeTls;
    if (const qsizetype sep = rest.indexOf(QLatin1String("://")); sep >= 0) {
        const QString scheme = rest.left(sep).toLower();
        for (const Scheme& s : kSchemes) {
            if (scheme == QLatin1String(s.name) && s.protocol == protocol) {
                schemeTls = s.tls;
            }
        }
        if (!schemeTls) {
            return std::nullopt;
        }
        rest = rest.mid(sep + 3);
        if (rest.endsWith(QLatin1Char('/'))) {
            rest.chop(1);
        }
    }

    QString host = rest;
    std::optional<quint16> port;
    QString portText;
    if (rest.startsWith(QLatin1Char('['))) {
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        if (close < 0) {
            return std::nullopt;
        }
        host = rest.mid(1, close - 1);
        const QString after = rest.mid(close + 1);
        if (!after.isEmpty()) {
            if (!after.startsWith(QLatin1Char(':'))) {
                return std::nullopt;
            }
            portText = after.mid(1);
        }
        if (QHostAddress(host).protocol() != QAbstractSocket::IPv6Protocol) {
            return std::nullopt;
        }
    } else if (rest.count(QLatin1Char(':')) == 1) {
        const qsizetype colon = rest.indexOf(QLatin1Char(':'));
        host = rest.left(colon);
        portText = rest.mid(colon + 1);
    } else if (rest.count(QLatin1Char(':')) > 1) {
        // A bare IPv6 address without a port.
        if (QHostAddress(rest).protocol() != QAbstractSocket::IPv6Protocol) {
            return std::nullopt;
        }
    } else if (!isValidHost(host)) {
        return std::nullopt;
    }
    if (!portText.isNull()) {
        bool ok = false;
        const uint value = portText.toUInt(&ok);
        if (!ok || value == 0 || value > 65535) {
            return std::nullopt;
        }
        port = static_cast<quint16>(value);
    }
    if (!host.contains(QLatin1Char(':')) && !isValidHost(host)) {
        return std::nullopt;
    }

    ServerAddress address;
    address.host = host;
    address.port = port.value_or(defaultPort(protocol, schemeTls.value_or(false)));
    address.implicitTls = schemeTls.value_or(false) || isImplicitTlsPort(protocol, address.port);
    address.plainAllowed = schemeTls.has_value() && !address.implicitTls;
    return address;
}

}  // namespace

QString ServerAddress::display() const {
    const bool ipv6 = host.contains(QLatin1Char(':'));
    return (ipv6 ? QLatin1Char('[') + host + QLatin1Char(']') : host) + QLatin1Char(':') +
           QString::number(port);
}

Expected<ServerAddress> parseServerAddress(const QString& text, MailProtocol protocol) {
    if (std::optional<ServerAddress> address = parse(text, protocol)) {
        return *address;
    }
    const QString role = protocol == MailProtocol::Pop3 ? QStringLiteral("受信サーバー")
                                                        : QStringLiteral("送信サーバー");
    if (text.trimmed().isEmpty()) {
        return Failure{FailureKind::BadInput, QStringLiteral("%1が指定されていません").arg(role)};
    }
    return Failure{FailureKind::BadInput,
                   QStringLiteral("%1の指定「%2」が正しくありません").arg(role, text.trimmed())};
}

}  // namespace orvane::mail
