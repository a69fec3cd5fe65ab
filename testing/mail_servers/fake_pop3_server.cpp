#include "fake_pop3_server.h"

#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>

#include <thread>

namespace orvane::testing {

FakePop3Server::FakePop3Server(Script script)
    : script_(std::move(script)), mailbox_(script_.messages), refusedRetr_(script_.refuseRetrOf) {}

void FakePop3Server::setRefusedRetr(std::optional<int> number) {
    QMutexLocker lock(&mutex_);
    refusedRetr_ = number;
}

FakePop3Server::~FakePop3Server() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool FakePop3Server::start() {
    std::promise<quint16> ready;
    std::future<quint16> port = ready.get_future();
    thread_ = std::thread([this, &ready] { run(&ready); });
    port_ = port.get();
    return port_ != 0;
}

QList<QByteArray> FakePop3Server::mailbox() const {
    QMutexLocker lock(&mutex_);
    return mailbox_;
}

QList<QByteArray> FakePop3Server::commands() const {
    QMutexLocker lock(&mutex_);
    return commands_;
}

void FakePop3Server::run(std::promise<quint16>* ready) {
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0)) {
        ready->set_value(0);
        return;
    }
    ready->set_value(server.serverPort());
    while (!stop_) {
        if (server.waitForNewConnection(50)) {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                serve(*socket);
                delete socket;
            }
        }
    }
}

namespace {

QByteArray stuffed(const QByteArray& message) {
    QByteArray out;
    out.reserve(message.size() + 16);
    for (const QByteArray& line : message.split('\n')) {
        if (line.startsWith('.')) {
            out += '.';
        }
        out += line + '\n';
    }
    out.chop(1);  // split added one line ending too many
    if (!out.endsWith("\r\n")) {
        out += "\r\n";
    }
    return out;
}

}  // namespace

void FakePop3Server::serve(QTcpSocket& socket) {
    QList<QByteArray> box = mailbox();
    QSet<int> marked;
    bool authorised = false;
    auto connected = [&socket] { return socket.state() == QAbstractSocket::ConnectedState; };
    auto reply = [&](const QByteArray& text) {
        if (script_.trickle.count() == 0) {
            socket.write(text);
            return;
        }
        for (qsizetype i = 0; i < text.size() && !stop_ && connected(); ++i) {
            socket.write(text.constData() + i, 1);
            socket.flush();
            socket.waitForBytesWritten(100);
            std::this_thread::sleep_for(script_.trickle);
        }
    };
    reply("+OK scripted POP3 server ready\r\n");
    QByteArray buffer;
    while (!stop_) {
        socket.flush();
        const qsizetype newline = buffer.indexOf('\n');
        if (newline < 0) {
            if (socket.state() != QAbstractSocket::ConnectedState) {
                return;
            }
            if (socket.waitForReadyRead(50)) {
                buffer += socket.readAll();
            }
            continue;
        }
        const QByteArray line = buffer.left(newline).trimmed();
        buffer.remove(0, newline + 1);
        const QList<QByteArray> words = line.split(' ');
        const QByteArray verb = words.first().toUpper();
        const int number = words.size() > 1 ? words[1].toInt() : 0;
        const bool validNumber = number >= 1 && number <= box.size() && !marked.contains(number);
        bool refused = false;
        {
            QMutexLocker lock(&mutex_);
            commands_.append(verb == "PASS" ? QByteArray("PASS ***") : line);
            refused = refusedRetr_ == number;
        }
        if (verb == script_.endlessReplyTo) {
            reply(verb == "CAPA" ? "+OK\r\nUSER\r\n" : "+OK\r\n");
            const QByteArray padding(60, 'x');
            qsizetype sent = 0;
            for (int n = 1; sent < kEndlessReplyBytes && !stop_ && connected(); ++n) {
                const QByteArray line =
                    (verb == "CAPA" ? "X-" + padding : QByteArray::number(n) + ' ' + padding) +
                    "\r\n";
                socket.write(line);
                sent += line.size();
                if (socket.bytesToWrite() > 256 * 1024) {
                    socket.waitForBytesWritten(1000);
                }
            }
            reply(".\r\n");
        } else if (verb == "CAPA") {
            reply("+OK\r\nUSER\r\nUIDL\r\n");
            if (script_.pipelining) {
                reply("PIPELINING\r\n");
            }
            reply(".\r\n");
        } else if (verb == "USER") {
            reply("+OK\r\n");
        } else if (verb == "PASS") {
            authorised = words.value(1) == "secret";
            reply(authorised ? "+OK logged in\r\n" : "-ERR [AUTH] wrong password\r\n");
        } else if (verb == "QUIT") {
            if (authorised) {
                QList<QByteArray> kept;
                for (int n = 1; n <= box.size(); ++n) {
                    if (!marked.contains(n)) {
                        kept.append(box[n - 1]);
                    }
                }
                QMutexLocker lock(&mutex_);
                mailbox_ = kept;
            }
            reply("+OK bye\r\n");
            socket.flush();
            socket.disconnectFromHost();
            return;
        } else if (!authorised) {
            reply("-ERR log in first\r\n");
        } else if (verb == "STAT" && !script_.statClaim.isEmpty()) {
            reply("+OK " + script_.statClaim + "\r\n");
        } else if (verb == "STAT") {
            qsizetype size = 0;
            int count = 0;
            for (int n = 1; n <= box.size(); ++n) {
                if (!marked.contains(n)) {
                    size += box[n - 1].size();
                    ++count;
                }
            }
            reply("+OK " + QByteArray::number(count) + ' ' + QByteArray::number(size) + "\r\n");
        } else if (verb == "LIST" || verb == "UIDL") {
            reply("+OK\r\n");
            for (int n = 1; n <= box.size(); ++n) {
                if (!marked.contains(n)) {
                    const QByteArray value = verb == "LIST"
                                                 ? QByteArray::number(box[n - 1].size())
                                                 : "uid-" + QByteArray::number(qHash(box[n - 1]));
                    reply(QByteArray::number(n) + ' ' + value + "\r\n");
                }
            }
            reply(".\r\n");
        } else if (verb == "RETR" && validNumber && refused) {
            reply("-ERR this message cannot be read (test)\r\n");
        } else if (verb == "RETR" && validNumber) {
            const QByteArray wire = "+OK message follows\r\n" + stuffed(box[number - 1]) + ".\r\n";
            bool drop = false;
            {
                QMutexLocker lock(&mutex_);
                drop = !dropped_ && script_.dropDuringRetrOf == number;
                dropped_ = dropped_ || drop;
            }
            if (drop) {
                reply(wire.left(script_.dropAfterBytes));
                socket.flush();
                socket.waitForBytesWritten(1000);
                while (script_.stallInsteadOfDrop && !stop_ &&
                       socket.state() == QAbstractSocket::ConnectedState) {
                    socket.waitForReadyRead(50);
                    socket.readAll();
                }
                socket.abort();
                return;
            }
            reply(wire);
        } else if (verb == "DELE" && validNumber) {
            marked.insert(number);
            reply("+OK marked\r\n");
        } else if (verb == "NOOP") {
            reply("+OK\r\n");
        } else {
            reply("-ERR not understood\r\n");
        }
    }
}

}  // namespace orvane::testing
