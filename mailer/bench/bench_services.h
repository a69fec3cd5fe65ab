#pragma once

#include "agent.h"
#include "mail_client.h"
#include "mail_store.h"
#include "main_window.h"
#include "news_component.h"
#include "settings_wiring.h"

#include <QString>

namespace orvane::mailer::bench {

// The services the program gives its main window, on `store` and `agent`;
// documents are not opened and quitting does nothing, so that a benchmark
// can go on after the window's farewell.
inline MailerServices realServices(MailStore& store, speech::Agent& agent, const QString& folder) {
    MailerServices services;
    services.store = &store;
    services.agent = &agent;
    services.programFolder = folder;
    services.createMailComponent = [] { return mail::createMailComponent(); };
    services.createNewsComponent = [] { return news::createNewsComponent(); };
    services.createSettings = createSettingsPlaces;
    services.openDocument = [](const QString&) { return true; };
    services.quit = [](int) {};
    return services;
}

}  // namespace orvane::mailer::bench
