#pragma once

#include "expected.h"

#include <string>
#include <string_view>

namespace orvane::recorder {

using orvane::Expected;
using orvane::Failure;
using orvane::FailureKind;

// A failure whose reason is one line for trelcap's console (English, as the console
// speaks it; the front end shows the console as it stands).
inline Failure failure(FailureKind kind, std::string_view line) {
    return Failure{kind, QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()))};
}

// The reason as the console prints it.
inline std::string consoleLine(const Failure& failure) {
    return failure.reason.toStdString();
}

}  // namespace orvane::recorder
