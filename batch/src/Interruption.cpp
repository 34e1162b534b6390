// Signals that stop a run between pages; see Interruption.h.
#include "Interruption.h"

#include <atomic>
#include <iterator>

namespace batch {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

std::atomic<int> gSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "read and written in a signal handler");

extern "C" void onSignal(int number) {
  int none = 0;
  gSignal.compare_exchange_strong(none, number);
  if (number != SIGPIPE) std::signal(number, SIG_DFL);
}

}  // namespace

Interruption::Interruption() {
  gSignal = 0;
  struct sigaction action = {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  // Reads and writes of the pages in progress go on as if nothing happened.
  action.sa_flags = SA_RESTART;
  static_assert(std::size(kSignals) == kSignalCount);
  for (int i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &action, &saved_[i]);
}

Interruption::~Interruption() {
  for (int i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &saved_[i], nullptr);
}

int Interruption::signal() { return gSignal.load(); }

}  // namespace batch
