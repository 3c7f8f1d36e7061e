// SPDX-License-Identifier: GPL-3.0-or-later
#include "signals.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>

#include <unistd.h>

namespace uy {
namespace {

// A slot is free (0), being filled or emptied (1), or holds a path to remove (2).
struct Slot {
  std::atomic<int> state{0};
  char path[PATH_MAX];
};
constexpr int kSlots = 64;  // one per writer open at once (uyconv recode -r runs several)
Slot g_slots[kSlots];

// Every signal whose default action ends the process and that can be caught, but the
// faults a program raises on itself (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP), which are
// left to the debuggers and sanitizers that catch them; and the real-time signals.
// SIGXFSZ is ignored instead (below).
constexpr int kFatalSignals[] = {SIGINT,  SIGTERM, SIGHUP,    SIGQUIT, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2,
                                 SIGXCPU, SIGPROF, SIGVTALRM, SIGIO,   SIGPWR,  SIGSYS,  SIGSTKFLT, SIGABRT};

template <typename F>
void ForEachFatalSignal(F&& f) {
  for (int sig : kFatalSignals) f(sig);
  for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) f(sig);
}

extern "C" void RemoveTemporariesAndDie(int sig) {
  for (Slot& s : g_slots)
    if (s.state.load(std::memory_order_acquire) == 2) ::unlink(s.path);
  // Die by the same signal, so that the parent sees it: restore the default action and
  // raise it again; it is delivered as soon as the handler returns and unblocks it.
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  ::sigaction(sig, &dfl, nullptr);
  ::raise(sig);
}

}  // namespace

void InstallSignalHandlers() {
  static std::atomic<bool> installed{false};
  if (installed.exchange(true)) return;
  struct sigaction sa {};
  sa.sa_handler = RemoveTemporariesAndDie;
  sigemptyset(&sa.sa_mask);
  ForEachFatalSignal([&](int sig) { sigaddset(&sa.sa_mask, sig); });  // one clean-up at a time
  sa.sa_flags = SA_RESTART;
  ForEachFatalSignal([&](int sig) {
    struct sigaction old {};
    if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) return;  // e.g. nohup
    ::sigaction(sig, &sa, nullptr);
  });
  struct sigaction ign {};
  ign.sa_handler = SIG_IGN;
  sigemptyset(&ign.sa_mask);
  ::sigaction(SIGXFSZ, &ign, nullptr);
}

int RegisterTemporaryFile(const char* path) noexcept {
  const std::size_t n = std::strlen(path);
  if (n >= PATH_MAX) return -1;
  for (int i = 0; i < kSlots; ++i) {
    int expected = 0;
    if (!g_slots[i].state.compare_exchange_strong(expected, 1, std::memory_order_acq_rel)) continue;
    std::memcpy(g_slots[i].path, path, n + 1);
    g_slots[i].state.store(2, std::memory_order_release);
    return i;
  }
  return -1;
}

void UnregisterTemporaryFile(int slot) noexcept {
  if (slot >= 0 && slot < kSlots) g_slots[slot].state.store(0, std::memory_order_release);
}

}  // namespace uy
