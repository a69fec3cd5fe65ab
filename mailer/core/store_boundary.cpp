#include "store_boundary.h"

#include "announcer.h"
#include "mail_store.h"

namespace orvane::mailer {

bool reportStoreFailures(Announcer& announcer, const std::function<void()>& work) {
    try {
        work();
        return true;
    } catch (const StoreError& error) {
        announcer.report_error(error.reason());
        return false;
    }
}

}  // namespace orvane::mailer
