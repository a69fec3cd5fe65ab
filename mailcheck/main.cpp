// orvane_mail_check: the tray checker that announces new mail.
#include "agent.h"
#include "agent_voice.h"
#include "mail_client.h"
#include "notification_area.h"
#include "program_folder.h"
#include "settings_file.h"
#include "single_instance.h"
#include "vantelmo.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QThread>

#include <cstdio>

using namespace orvane;
using namespace orvane::mailcheck;

namespace {

// Another copy runs on this folder: say so in its character's voice and end,
// once it has been heard (or after a while).
int refuseSecondCopy(speech::Agent& agent, const QString& folder, const QString& message) {
    std::fprintf(stderr, "orvane_mail_check: %s\n", message.toLocal8Bit().constData());
    AgentVoice voice(agent);
    const auto settings =
        readSettingsFile(QDir(folder).filePath(QString::fromLatin1(kSettingsFileName)));
    (void)voice.useCharacter(settings ? settings->character
                                      : QString::fromLatin1(AgentVoice::kDefaultCharacter));
    voice.show();
    voice.speak(message);
    voice.hide();
    QDeadlineTimer deadline(15000);
    while (!agent.waitUntilIdle(0) && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The window hides behind the icon; only the program's own ways out end it.
    app.setQuitOnLastWindowClosed(false);

    const QString folder = programFolder();
    speech::Agent::Options agentOptions;
    agentOptions.characterDirs = characterFolders(folder);
    speech::Agent agent(agentOptions);

    auto claimed = claimProgramFolder(folder);
    if (!claimed) {
        if (claimed.failure().kind == FailureKind::Refused) {
            return refuseSecondCopy(agent, folder, claimed.failure().reason);
        }
        // Without the mark a second copy could not be told apart; run anyway.
        std::fprintf(stderr, "orvane_mail_check: %s\n",
                     claimed.failure().reason.toLocal8Bit().constData());
    }

    const std::unique_ptr<mail::MailComponent> mail = mail::createMailComponent();
    SystemNotificationArea area;

    CheckerServices services;
    services.agent = &agent;
    services.mail = mail.get();
    services.notificationArea = &area;
    services.programFolder = folder;
    services.polling.openExternally = [](const QString& path) {
        return QProcess::startDetached(QStringLiteral("xdg-open"), {path});
    };
    services.quit = [](int status) { QCoreApplication::exit(status); };

    Vantelmo window(std::move(services));
    window.Form_Load();
    return app.exec();
}
