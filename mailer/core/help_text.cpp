#include "help_text.h"

namespace orvane::mailer {

HelpTexts parseHelpText(const QStringList& lines) {
    HelpTexts help;
    std::size_t index = 0;
    qsizetype next = 0;
    auto readLine = [&](QString& line) {
        if (next >= lines.size()) {
            return false;
        }
        line = lines[next++];
        return true;
    };

    QString line;
    while (readLine(line)) {
        if (line.contains(QLatin1Char('<'))) {
            ++index;
            if (!readLine(line)) {
                break;
            }
        }
        if (line.contains(QLatin1String("</"))) {
            QString dropped;
            if (!readLine(dropped)) {
                break;
            }
            continue;
        }
        // help.txt written for this program never advances past the last
        // entry; a file that does loses its extra text instead of the program.
        if (index < help.size()) {
            help[index] += line;
        }
    }
    return help;
}

}  // namespace orvane::mailer
