// A pseudo-terminal that stands in for the front end's console, and the start of a
// program on it.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "expected.h"
#include "unique_fd.h"

namespace trelcapg {

// Both ends of one pseudo-terminal. The front end reads what programs write from the
// master and writes typed keys to it; it keeps the slave open for its whole life so that
// the terminal outlives each program started on it, and writes its own lines (banners)
// to the slave so that they stand in order with the program's output. The line
// discipline is the ordinary one: echo, line editing, and Ctrl+C (byte 3) typed into
// the master sends SIGINT to the program that owns the terminal.
class PseudoTerminal {
  public:
    // A new terminal of the given size, or why none could be made.
    static orvane::Expected<PseudoTerminal> open(int columns, int rows);

    int master() const { return master_.get(); }
    int slave() const { return slave_.get(); }
    const std::string& slaveName() const { return slaveName_; }

    // Writes all of bytes to the slave, as a program on the terminal would.
    void writeAsProgram(const void* bytes, std::size_t size) const;
    // Writes all of bytes to the master, as keys typed into the terminal.
    void writeAsKeys(const void* bytes, std::size_t size) const;
    // Drops typed input that no program has read yet.
    void discardPendingInput() const;

  private:
    PseudoTerminal(UniqueFd master, UniqueFd slave, std::string slaveName);

    UniqueFd master_;
    UniqueFd slave_;
    std::string slaveName_;
};

// Starts program (an absolute path) with argv (argv[0] included) as the leader of a new
// session and process group, so that a signal to the group reaches it and whatever it
// starts, and never the front end. With a terminal, the program runs on it as its
// controlling terminal with all three standard streams on it; without, it keeps the
// caller's streams. Signal dispositions and mask are reset to their defaults. The
// caller's environment and current directory are inherited. Returns the process id once
// the program has been executed, or why it could not be. The caller reaps the process.
orvane::Expected<pid_t> SpawnSessionLeader(const std::string& program,
                                           const std::vector<std::string>& argv,
                                           const PseudoTerminal* terminal);

}  // namespace trelcapg
