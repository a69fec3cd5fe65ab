#include "gmime_handles.h"

#include <mutex>

namespace orvane::mail {

void ensureGMimeInitialised() {
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

}  // namespace orvane::mail
