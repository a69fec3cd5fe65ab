#pragma once

#include "expected.h"

#include <optional>

namespace orvane::mail {

using orvane::Expected;
using orvane::Failure;
using orvane::FailureKind;

// Success of an operation without a value: nullopt, or the failure.
using Status = std::optional<Failure>;

}  // namespace orvane::mail
