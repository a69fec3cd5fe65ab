// orvane: the talking mailer.
#include "agent.h"
#include "character.h"
#include "mail_client.h"
#include "mail_store.h"
#include "main_window.h"
#include "news_component.h"
#include "program_folder.h"
#include "settings_wiring.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFont>
#include <QMessageBox>
#include <QProcess>
#include <QThread>
#include <QUrl>

#include <cstdio>

using namespace orvane;

namespace {

speech::Agent::Options agentOptions(const QString& folder) {
    speech::Agent::Options options;
    options.characterDirs = {QDir(folder).filePath("characters"),
                             QDir(QCoreApplication::applicationDirPath()).filePath("characters")};
    return options;
}

// The store could not be opened: nothing usable is left, so say why, show it,
// and end with a failure status.
int refuseToStart(const QString& folder, const QString& message) {
    std::fprintf(stderr, "orvane: %s\n", message.toLocal8Bit().constData());
    speech::Agent agent(agentOptions(folder));
    agent.setConnected(true);
    const auto loaded = agent.load("genie", "genie.acs");
    speech::Character* character = loaded ? *loaded : agent.loadDefault("genie");
    character->speak(message);
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Orvane Mailer V 2.0"), message);
    box.open();
    // End once the message has been heard, and, where someone can read the
    // box, once it is closed (or after a while).
    const bool headless = QGuiApplication::platformName() == QLatin1String("offscreen");
    QDeadlineTimer speechDeadline(30000);
    while (!agent.waitUntilIdle(0) && !speechDeadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    QDeadlineTimer readingDeadline(headless ? 0 : 15000);
    while (box.isVisible() && !readingDeadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QFont::insertSubstitutions(QStringLiteral("ＭＳ ゴシック"),
                               {"IPAGothic", "IPAexGothic", "Noto Sans CJK JP", "VL Gothic"});

    const QString folder = mailer::programFolder();
    const QString storePath = QDir(folder).filePath(QStringLiteral("speak_mail.mdb"));
    auto opened = mailer::MailStore::open(storePath);
    if (!opened) {
        return refuseToStart(
            folder, QStringLiteral("メールストア %1 を開けません：%2")
                        .arg(QDir::toNativeSeparators(storePath), opened.failure().reason));
    }
    mailer::MailStore& store = *opened;

    speech::Agent agent(agentOptions(folder));
    mailer::MailerServices services;
    services.store = &store;
    services.agent = &agent;
    services.programFolder = folder;
    services.createMailComponent = [] { return mail::createMailComponent(); };
    services.createNewsComponent = [] { return news::createNewsComponent(); };
    services.createSettings = mailer::createSettingsPlaces;
    services.openDocument = [](const QString& path) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    };
    // Started with an argument list: the file name is never read by a shell.
    services.openAttachment = [](const QString& path) {
        return QProcess::startDetached(QStringLiteral("xdg-open"), {path});
    };
    services.quit = [](int status) { QCoreApplication::exit(status); };

    mailer::MainWindow window(std::move(services));
    window.show();
    window.Form_Load();
    return app.exec();
}
