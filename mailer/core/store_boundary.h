#pragma once

#include <functional>

namespace orvane::mailer {

class Announcer;

// The one place where a StoreError thrown by the mail store becomes a failure
// the user sees and hears. The command table runs every handler through it,
// start-up runs each of its steps through it, and receiving runs each
// account's storing through it so that one account's failure leaves the
// others alone. Returns false when the store refused; the program goes on.
bool reportStoreFailures(Announcer& announcer, const std::function<void()>& work);

}  // namespace orvane::mailer
