#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvane::recorder {

// Splits one command line into arguments, as trelcap reads a line given whole and as
// the front end splits the line it builds before starting trelcap: blanks (space, tab,
// CR, LF) separate, double quotes group and are removed ("my file.mp3" is one
// argument, "" an empty one); 2n backslashes before a quote give n backslashes and a
// grouping quote, 2n+1 give n backslashes and a literal quote; other backslashes stand
// as they are.
std::vector<std::string> splitCommandLine(std::string_view line);

}  // namespace orvane::recorder
