#pragma once

#include "expected.h"

#include <QByteArray>
#include <QString>

namespace orvane::mailcheck {

// The checker's five settings, held as text in the order of the file.
struct CheckerSettings {
    // The POP3 server as the mail component takes it: "host", "host:port",
    // "pop3://host:port" (plain), "pop3s://host" ...
    QString pop;
    QString account;
    QString password;
    // Minutes between checks; fractions allowed.
    QString interval;
    // The character file's name without ".acs".
    QString character;

    bool operator==(const CheckerSettings&) const = default;
};

inline constexpr char kSettingsFileName[] = "orvane_mail_check.ini";

// The file image: pop, account, password, interval, character, each followed
// by CR LF, in UTF-8, nothing quoted.
QByteArray encodeSettings(const CheckerSettings& settings);

// Reads a file image in UTF-8 (a leading byte-order mark is skipped) or, when
// the bytes are not UTF-8, in Shift_JIS (files written on other systems). A
// field ends at a comma or at a line end (CR LF, LF or CR); fields after the
// fifth are ignored. Fewer than five fields: BadInput.
Expected<CheckerSettings> decodeSettings(const QByteArray& bytes);

// NotFound when the file does not exist.
Expected<CheckerSettings> readSettingsFile(const QString& path);

// Replaces the file as a whole (a crash never leaves half a file), readable
// by its owner only, since it holds the password.
Expected<void> writeSettingsFile(const QString& path, const CheckerSettings& settings);

// Whether the values can be stored and read back as they are: no comma or
// line break in any value (the format has no quoting), a server and a user
// name, and an interval that tickLimitFor accepts. The reason names the box.
Expected<void> checkSettings(const CheckerSettings& settings);

// The interval as typed, made plain: surrounding blanks dropped, full-width
// digits and point made ASCII ("１．５" -> "1.5").
QString plainInterval(const QString& typed);

// Half-minute ticks between checks: interval × 2, not rounded ("10" -> 20,
// "1.5" -> 3, "0" -> 0). BadInput unless the interval is a decimal number
// from 0 up ("", "-1", "abc", "1e3" are refused).
Expected<double> tickLimitFor(const QString& interval);

}  // namespace orvane::mailcheck
