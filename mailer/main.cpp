// orvane: the talking mailer.
#include "agent.h"
#include "character.h"
#include "fake_mail_component.h"
#include "mail_store.h"
#include "main_window.h"
#include "program_folder.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFont>
#include <QMessageBox>
#include <QTimer>
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
    agent.load("genie", "genie.acs");
    if (speech::Character* character = agent.character("genie")) {
        character->speak(message);
    }
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Orvane Mailer V 2.0"), message);
    box.open();
    QEventLoop loop;
    QObject::connect(&box, &QMessageBox::finished, &loop, &QEventLoop::quit);
    const bool headless = QGuiApplication::platformName() == QLatin1String("offscreen");
    QTimer::singleShot(headless ? 1500 : 30000, &loop, &QEventLoop::quit);
    loop.exec();
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
    if (auto* reason = std::get_if<QString>(&opened)) {
        return refuseToStart(folder, QStringLiteral("メールストア %1 を開けません：%2")
                                         .arg(QDir::toNativeSeparators(storePath), *reason));
    }
    mailer::MailStore& store = std::get<mailer::MailStore>(opened);

    speech::Agent agent(agentOptions(folder));
    mailer::MailerServices services;
    services.store = &store;
    services.agent = &agent;
    services.programFolder = folder;
    services.createMailComponent = [] {
        auto component = std::make_unique<mail::FakeMailComponent>();
        component->realSleep = true;
        return component;
    };
    services.openDocument = [](const QString& path) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    };
    services.quit = [](int status) { QCoreApplication::exit(status); };

    mailer::MainWindow window(std::move(services));
    window.show();
    window.Form_Load();
    return app.exec();
}
