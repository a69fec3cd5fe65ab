#pragma once

#include "expected.h"

namespace orvane::mail {

using orvane::Expected;
using orvane::Failure;
using orvane::FailureKind;
using orvane::success;

}  // namespace orvane::mail
