#include "dovecot_server.h"

#include "test_certificate.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTextStream>

#include <tuple>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvane::testing {

namespace {

QString userName(uid_t uid) {
    const passwd* entry = ::getpwuid(uid);
    return entry != nullptr ? QString::fromLocal8Bit(entry->pw_name) : QString::number(uid);
}

QString groupName(gid_t gid) {
    const group* entry = ::getgrgid(gid);
    return entry != nullptr ? QString::fromLocal8Bit(entry->gr_name) : QString::number(gid);
}

bool writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size();
}

void chownTree(const QString& path, uid_t uid, gid_t gid) {
    ::chown(QFile::encodeName(path).constData(), uid, gid);
    const QFileInfoList entries =
        QDir(path).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        if (entry.isDir()) {
            chownTree(entry.filePath(), uid, gid);
        } else {
            ::chown(QFile::encodeName(entry.filePath()).constData(), uid, gid);
        }
    }
}

}  // namespace

DovecotServer::DovecotServer(Options options) : options_(std::move(options)) {}

QString DovecotServer::maildir() const {
    return dir_.filePath(QStringLiteral("mail/testuser/Maildir"));
}

QString DovecotServer::log() const {
    QFile file(dir_.filePath(QStringLiteral("dovecot.log")));
    file.open(QIODevice::ReadOnly);
    return QString::fromLocal8Bit(file.readAll());
}

bool DovecotServer::start() {
    return process_.startRetryingPorts([this] { return startOnce(); });
}

bool DovecotServer::startOnce() {
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary folder");
        return false;
    }
    const QString base = dir_.path();
    // The login and auth processes run as other users and must pass through.
    ::chmod(QFile::encodeName(base).constData(), 0755);
    for (const char* sub :
         {"run", "state", "mail/testuser/Maildir/new", "mail/testuser/Maildir/cur",
          "mail/testuser/Maildir/tmp", "home/testuser"}) {
        QDir(base).mkpath(QString::fromLatin1(sub));
    }

    const bool root = ::getuid() == 0;
    QString internalUser;
    QString loginUser;
    QString chrootLine;
    uid_t mailUid = ::getuid();
    gid_t mailGid = ::getgid();
    if (root) {
        internalUser = QStringLiteral("dovecot");
        loginUser = QStringLiteral("dovenull");
        // Dovecot will not give mail to uid 0.
        if (const passwd* nobody = ::getpwnam("nobody")) {
            mailUid = nobody->pw_uid;
            mailGid = nobody->pw_gid;
        }
        chownTree(base + QStringLiteral("/mail"), mailUid, mailGid);
        chownTree(base + QStringLiteral("/home"), mailUid, mailGid);
    } else {
        internalUser = userName(::getuid());
        loginUser = internalUser;
        chrootLine = QStringLiteral("chroot =");
    }
    const passwd* internal = ::getpwnam(internalUser.toLocal8Bit().constData());
    const QString internalGroup =
        internal != nullptr ? groupName(internal->pw_gid) : groupName(::getgid());

    const bool tls = !options_.certFile.isEmpty();
    std::tie(pop3Port_, pop3sPort_) = freeLoopbackPorts(tls);

    const QString passwdFile = base + QStringLiteral("/passwd");
    writeFile(passwdFile, QStringLiteral("testuser:{PLAIN}%1:%2:%3::%4/home/testuser\n")
                              .arg(password())
                              .arg(mailUid)
                              .arg(mailGid)
                              .arg(base)
                              .toLocal8Bit());

    QString config;
    QTextStream out(&config);
    out << "protocols = pop3\n"
        << "listen = 127.0.0.1\n"
        << "base_dir = " << base << "/run\n"
        << "state_dir = " << base << "/state\n"
        << "instance_name = orvane-test-" << QDir(base).dirName() << "\n"
        << "log_path = " << base << "/dovecot.log\n"
        << "info_log_path = " << base << "/dovecot.log\n"
        << "auth_verbose = yes\n"
        << "auth_failure_delay = 0\n"
        << "default_internal_user = " << internalUser << "\n"
        << "default_internal_group = " << internalGroup << "\n"
        << "default_login_user = " << loginUser << "\n"
        << "first_valid_uid = 0\n"
        << "mail_location = maildir:" << base << "/mail/%u/Maildir\n"
        << "pop3_uidl_format = %08Xu%08Xv\n"
        << "disable_plaintext_auth = no\n"
        << "auth_mechanisms = plain login\n";
    if (tls) {
        out << "ssl = yes\n"
            << "ssl_cert = <" << options_.certFile << "\n"
            << "ssl_key = <" << options_.keyFile << "\n";
    } else {
        out << "ssl = no\n";
    }
    out << "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN username_format=%u "
        << passwdFile << "\n}\n"
        << "userdb {\n  driver = passwd-file\n  args = username_format=%u " << passwdFile << "\n}\n"
        << "service pop3-login {\n  " << chrootLine << "\n"
        << "  inet_listener pop3 {\n    port = " << pop3Port_ << "\n  }\n"
        << "  inet_listener pop3s {\n    port = " << pop3sPort_ << "\n    ssl = yes\n  }\n"
        << "}\n"
        << "service anvil {\n  " << chrootLine << "\n}\n";
    out.flush();
    const QString configFile = base + QStringLiteral("/dovecot.conf");
    writeFile(configFile, config.toLocal8Bit());

    process_->setProcessChannelMode(QProcess::MergedChannels);
    process_->start(QStringLiteral("/usr/sbin/dovecot"),
                    {QStringLiteral("-F"), QStringLiteral("-c"), configFile});
    if (!process_->waitForStarted(10000)) {
        error_ = QStringLiteral("dovecot did not start: ") + process_->errorString();
        return false;
    }
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired() && process_->state() == QProcess::Running) {
        if (waitForListening(pop3Port_, 100) && (!tls || waitForListening(pop3sPort_, 100))) {
            return true;
        }
        process_->waitForFinished(50);  // a pause that ends at once if Dovecot gives up
    }
    error_ = QStringLiteral("dovecot is not listening: ") +
             QString::fromLocal8Bit(process_->readAll()) + log();
    return false;
}

bool DovecotServer::deliver(const QByteArray& message) {
    const QString name = QStringLiteral("%1.M%2P%3.orvanetest")
                             .arg(QDateTime::currentSecsSinceEpoch())
                             .arg(++delivered_)
                             .arg(::getpid());
    const QString temporary = maildir() + QStringLiteral("/tmp/") + name;
    if (!writeFile(temporary, message)) {
        return false;
    }
    struct stat owner {};
    if (::getuid() == 0 && ::stat(QFile::encodeName(maildir()).constData(), &owner) == 0) {
        ::chown(QFile::encodeName(temporary).constData(), owner.st_uid, owner.st_gid);
    }
    return QFile::rename(temporary, maildir() + QStringLiteral("/new/") + name);
}

int DovecotServer::messageCount() const {
    return static_cast<int>(QDir(maildir() + QStringLiteral("/new")).entryList(QDir::Files).size() +
                            QDir(maildir() + QStringLiteral("/cur")).entryList(QDir::Files).size());
}

}  // namespace orvane::testing
