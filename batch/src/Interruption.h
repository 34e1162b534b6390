#pragma once
// Interruption: ending a run early without leaving half a job behind.
//
// While an Interruption exists, SIGINT, SIGTERM, SIGHUP and SIGPIPE do not end
// the program; they only mark the run as interrupted, and the jobs take no
// new page. The pages in progress are finished (each is written whole, as
// always) and reported, so an interrupted run leaves neither hidden
// temporary files nor a half-written page, and still prints its summary.
//
// The first SIGINT, SIGTERM or SIGHUP puts that signal's default action back,
// so a second Ctrl-C ends the program at once. SIGPIPE (the reader of the
// report went away, as with `| head`) stays handled: every later report line
// would raise it again.
#include <csignal>

namespace batch {

class Interruption {
 public:
  Interruption();
  ~Interruption();  // puts the earlier handlers back
  Interruption(const Interruption&) = delete;
  Interruption& operator=(const Interruption&) = delete;

  /// The signal that interrupted the run, 0 while none has.
  static int signal();
  static bool requested() { return signal() != 0; }

 private:
  static constexpr int kSignalCount = 4;  // SIGINT, SIGTERM, SIGHUP, SIGPIPE
  struct sigaction saved_[kSignalCount];
};

}  // namespace batch
