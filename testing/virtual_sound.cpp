#include "virtual_sound.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

namespace orvane::testing {
namespace {

bool writeText(const QString& path, const QString& text) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    return f.write(text.toUtf8()) >= 0;
}

QString processOutput(QProcess& p) {
    return QString::fromLocal8Bit(p.readAllStandardError() + p.readAllStandardOutput()).trimmed();
}

}  // namespace

VirtualSoundDevice::VirtualSoundDevice() : dir_(QDir::tempPath() + "/orvane-pa-XXXXXX") {
    const QString pulseaudio = QStandardPaths::findExecutable("pulseaudio");
    if (pulseaudio.isEmpty()) {
        whyNot_ = "pulseaudio is not installed";
        return;
    }
    if (QStandardPaths::findExecutable("pactl").isEmpty()) {
        whyNot_ = "pactl (pulseaudio-utils) is not installed";
        return;
    }
    if (!dir_.isValid()) {
        whyNot_ = "cannot create a temporary folder: " + dir_.errorString();
        return;
    }
    const QString socket = dir_.filePath("native");
    if (socket.toLocal8Bit().size() >= 100) {
        whyNot_ = "temporary folder path too long for a socket: " + socket;
        return;
    }
    const QString script = dir_.filePath("server.pa");
    const QString clientConf = dir_.filePath("client.conf");
    const QString asoundrc = dir_.filePath("asoundrc");
    const QString server = "unix:" + socket;
    const bool written = writeText(script,
                                   "load-module module-null-sink sink_name=orvane_null "
                                   "sink_properties=device.description=OrvaneNull\n"
                                   "load-module module-native-protocol-unix socket=" +
                                       socket +
                                       " auth-anonymous=1\n"
                                       "set-default-sink orvane_null\n"
                                       "set-default-source orvane_null.monitor\n") &&
                         writeText(clientConf, "autospawn = no\n") &&
                         writeText(asoundrc, QString("pcm.!default { type pulse server \"%1\" }\n"
                                                     "ctl.!default { type pulse server \"%1\" }\n")
                                                 .arg(server));
    if (!written) {
        whyNot_ = "cannot write the PulseAudio configuration in " + dir_.path();
        return;
    }

    // The server keeps its runtime and state files in the private folder, also as root.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", dir_.path());
    env.insert("XDG_CONFIG_HOME", dir_.filePath("config"));
    env.insert("XDG_RUNTIME_DIR", dir_.filePath("runtime"));
    env.insert("PULSE_RUNTIME_PATH", dir_.filePath("runtime"));
    env.insert("PULSE_STATE_PATH", dir_.filePath("state"));
    env.remove("PULSE_SERVER");
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    QDir(dir_.path()).mkpath("runtime");
    QDir(dir_.path()).mkpath("state");
    QDir(dir_.path()).mkpath("config");

    daemon_ = std::make_unique<QProcess>();
    daemon_->setProcessEnvironment(env);
    // A file, not a pipe: nobody reads the server's messages while it runs.
    const QString log = dir_.filePath("pulseaudio.log");
    daemon_->setStandardOutputFile(log);
    daemon_->setStandardErrorFile(log);
    daemon_->start(pulseaudio, {"-n", "--daemonize=no", "--system=false", "--exit-idle-time=-1",
                                "--use-pid-file=false", "--realtime=false", "--high-priority=false",
                                "--disallow-exit=true", "--log-level=error", "--log-target=stderr",
                                "-F", script});
    if (!daemon_->waitForStarted(5000)) {
        whyNot_ = "pulseaudio did not start: " + daemon_->errorString();
        daemon_.reset();
        return;
    }

    setEnv("PULSE_SERVER", server.toLocal8Bit());
    setEnv("PULSE_CLIENTCONFIG", clientConf.toLocal8Bit());
    setEnv("ALSA_CONFIG_PATH", "/usr/share/alsa/alsa.conf:" + asoundrc.toLocal8Bit());

    if (!waitUntilServing(10000)) {
        QString output;
        if (daemon_->state() != QProcess::NotRunning) {
            daemon_->kill();
        }
        daemon_->waitForFinished(2000);
        QFile logFile(log);
        if (logFile.open(QIODevice::ReadOnly)) {
            output = QString::fromLocal8Bit(logFile.readAll()).trimmed();
        }
        whyNot_ = "private pulseaudio did not come up" +
                  (output.isEmpty() ? QString() : ": " + output.section('\n', -3));
        daemon_.reset();
    }
}

VirtualSoundDevice::~VirtualSoundDevice() {
    stopRecording();
    if (daemon_) {
        daemon_->terminate();
        if (!daemon_->waitForFinished(5000)) {
            daemon_->kill();
            daemon_->waitForFinished(2000);
        }
    }
    // Restore in reverse order so that a variable set twice gets its first value.
    for (auto it = savedEnv_.rbegin(); it != savedEnv_.rend(); ++it) {
        if (it->second) {
            qputenv(it->first.constData(), *it->second);
        } else {
            qunsetenv(it->first.constData());
        }
    }
}

QString VirtualSoundDevice::serverAddress() const {
    return "unix:" + dir_.filePath("native");
}

void VirtualSoundDevice::setEnv(const char* name, const QByteArray& value) {
    std::optional<QByteArray> old;
    if (qEnvironmentVariableIsSet(name)) {
        old = qgetenv(name);
    }
    savedEnv_.emplace_back(QByteArray(name), old);
    qputenv(name, value);
}

Expected<void> VirtualSoundDevice::runPulseTool(const QString& program, const QStringList& args,
                                                int timeoutMs) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(5000)) {
        return fail(FailureKind::Device, program + ": " + p.errorString());
    }
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(2000);
        return fail(FailureKind::Device, program + " timed out");
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        return fail(FailureKind::Device, program + " failed: " + processOutput(p));
    }
    return success();
}

bool VirtualSoundDevice::waitUntilServing(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (daemon_->state() == QProcess::NotRunning) {
            return false;
        }
        if (QFileInfo::exists(dir_.filePath("native")) && runPulseTool("pactl", {"info"}, 5000)) {
            return true;
        }
        // The server has no readiness signal we can wait on; poll its socket.
        QThread::msleep(50);
    }
    return false;
}

Expected<void> VirtualSoundDevice::playFile(const QString& path) {
    if (!available()) {
        return fail(FailureKind::Device, whyNot_);
    }
    if (!QFileInfo::exists(path)) {
        return fail(FailureKind::Device, "no such file: " + path);
    }
    return runPulseTool("paplay", {"--device=" + sinkName(), path}, 120000);
}

Expected<void> VirtualSoundDevice::startRecordingMonitor(const QString& path) {
    if (!available()) {
        return fail(FailureKind::Device, whyNot_);
    }
    stopRecording();
    recorder_ = std::make_unique<QProcess>();
    recorder_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    recorder_->start("parec", {"--device=" + monitorSource(), "--file-format=wav", "--format=s16le",
                               "--rate=44100", "--channels=1", "--latency-msec=20", path});
    if (!recorder_->waitForStarted(5000)) {
        recorder_.reset();
        return fail(FailureKind::Device, "parec: " + recorder_->errorString());
    }
    // parec is connected once the server lists its source output.
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        QProcess p;
        p.start("pactl", {"list", "short", "source-outputs"});
        if (p.waitForFinished(5000) && !p.readAllStandardOutput().trimmed().isEmpty()) {
            recordingPath_ = path;
            return success();
        }
        if (recorder_->state() == QProcess::NotRunning) {
            break;
        }
        QThread::msleep(20);
    }
    stopRecording();
    return fail(FailureKind::Device, "parec did not connect to the private server");
}

bool VirtualSoundDevice::stopRecording() {
    if (!recorder_) {
        return false;
    }
    // SIGTERM lets parec finish the WAV header.
    recorder_->terminate();
    if (!recorder_->waitForFinished(5000)) {
        recorder_->kill();
        recorder_->waitForFinished(2000);
    }
    recorder_.reset();
    const QString path = std::exchange(recordingPath_, QString());
    return !path.isEmpty() && QFileInfo(path).size() > 44;
}

}  // namespace orvane::testing
