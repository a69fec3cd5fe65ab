#pragma once

#include "settings_places.h"

#include <memory>

class QWidget;

namespace orvane::mailer {

class Announcer;
class MailStore;
struct MailerState;

// The program's account and option places.
std::unique_ptr<SettingsPlaces> createSettingsPlaces(MailStore& store, Announcer& announcer,
                                                     MailerState& state, QWidget* mainWindow);

}  // namespace orvane::mailer
