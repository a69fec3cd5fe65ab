#pragma once

#include <gmime/gmime.h>

#include <memory>

namespace orvane::mail {

struct GObjectUnref {
    void operator()(void* object) const {
        if (object)
            g_object_unref(object);
    }
};

// Owns one GObject reference.
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

// Initialises GMime once per process; every user calls it first.
void ensureGMimeInitialised();

}  // namespace orvane::mail
