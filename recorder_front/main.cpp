// TrelcapG: the dialog front end of the console recorder.
#include <QApplication>
#include <QFileInfo>

#include <cstdlib>

#include "recorder_dialog.h"
#include "recorder_settings.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    QApplication::setApplicationVersion(QStringLiteral("1.0.0.1"));

    // The application's name is the executable's, without folder and extension; the
    // settings file bears it and lies in the current directory.
    const QString executable = QCoreApplication::applicationFilePath();
    const QString name = QFileInfo(executable).completeBaseName();

    trelcapg::FrontEndEnvironment environment;
    environment.applicationName = name;
    environment.settingsPath = trelcapg::SettingsFileName(executable.toStdString());
    environment.locateRecorder = trelcapg::DefaultRecorderLocator();
    environment.endProcess = [] { std::_Exit(EXIT_FAILURE); };

    trelcapg::CRecorderDlg dialog(environment);
    // exit(), not quit(): quit() would first ask every window to close.
    QObject::connect(&dialog, &QDialog::accepted, &app, [] { QCoreApplication::exit(0); });
    dialog.OnInitDialog();
    dialog.show();
    return app.exec();
}
