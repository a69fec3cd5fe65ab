#pragma once

namespace orvane::news {
class NewsComponent;
}

namespace orvane::mailer {

class Announcer;
class MailStore;

// The latest news, read once at start-up when the options ask for it: the
// news flag is set and a site is stored.
//
// Reads the store's news options; uses no program-wide state.
class NewsReading {
  public:
    NewsReading(MailStore& store, news::NewsComponent& news, Announcer& announcer);

    // Fetches the headlines of the stored site and speaks them. Nothing is
    // fetched when the flag is off or the site is empty; a failure is written
    // as one line to standard error and nothing is said. Returns within the
    // component's time limit; meanwhile speech goes on and windows repaint,
    // and what the user types waits until the news has been read.
    void read_news();

  private:
    MailStore& store_;
    news::NewsComponent& news_;
    Announcer& announcer_;
};

}  // namespace orvane::mailer
