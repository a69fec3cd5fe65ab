// Running trelcap as a program in the tests: its path, one run, a working folder.
#pragma once

#include "decoded_audio.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

// Failures show texts and lists of names as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace orvane::recorder::testing {

inline QString trelcapPath() {
    return qEnvironmentVariable("ORVANE_BIN_DIR") + "/trelcap";
}

struct Finished {
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QString out;
    QString err;
};

inline Finished runTrelcap(
    const QStringList& args, const QString& workDir,
    const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setWorkingDirectory(workDir);
    process.setProcessEnvironment(env);
    process.start(trelcapPath(), args);
    process.waitForFinished(60000);
    return {process.exitCode(), process.exitStatus(),
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

// Starts `program` in `workDir` and returns once its console output holds `marker` (how
// far it got); the output so far is left in `out`.
inline bool startUntil(QProcess& process, const QString& program, const QStringList& args,
                       const QString& workDir, const char* marker, QByteArray& out) {
    process.setWorkingDirectory(workDir);
    process.start(program, args);
    while (!out.contains(marker) && process.waitForReadyRead(5000)) {
        out += process.readAllStandardOutput();
    }
    return out.contains(marker);
}

// Arguments given as one string are split at single blanks.
inline QStringList args(const char* line) {
    return QString::fromUtf8(line).split(u' ');
}

// A working folder holding in.wav, 2 s of a 440 Hz tone at half scale.
class TrelcapProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        writeToneWav(path("in.wav"), {{2, 0.5}});
    }
    QString path(const QString& name) const { return dir_.filePath(name); }
    // Every file in the folder, hidden ones included.
    QStringList files(const QString& folder = {}) const {
        return QDir(dir_.filePath(folder)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    // A 440 Hz stereo tone at 44.1 kHz in the given stretches.
    static void writeToneWav(const QString& path, const std::vector<ToneSegment>& segments) {
        ASSERT_TRUE(testing::writeToneWav(path.toStdString(), segments, 44100, 2, 440));
    }

    QTemporaryDir dir_;
};

}  // namespace orvane::recorder::testing
