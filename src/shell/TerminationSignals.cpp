#include "shell/TerminationSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
int gPipe[2] = {-1, -1};

void RestoreDefaults() {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  for (int s : kSignals) sigaction(s, &action, nullptr);
}

extern "C" void OnTerminationSignal(int signal) {
  const int saved = errno;
  const unsigned char byte = static_cast<unsigned char>(signal);
  (void)!write(gPipe[1], &byte, 1);
  // sigaction is async-signal-safe: the next request takes the default action.
  RestoreDefaults();
  errno = saved;
}

}  // namespace

TTerminationSignals::TTerminationSignals(THandler handler, QObject* parent)
    : QObject(parent), FHandler(std::move(handler)) {
  if (gPipe[0] >= 0 || pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  FNotifier = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, this);
  connect(FNotifier, &QSocketNotifier::activated, this, &TTerminationSignals::Drain);
  struct sigaction action {};
  action.sa_handler = &OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  for (int s : kSignals) sigaddset(&action.sa_mask, s);
  action.sa_flags = SA_RESTART;
  for (int s : kSignals) sigaction(s, &action, nullptr);
}

TTerminationSignals::~TTerminationSignals() {
  if (FNotifier == nullptr) return;
  RestoreDefaults();
  delete FNotifier;
  close(gPipe[0]);
  close(gPipe[1]);
  gPipe[0] = gPipe[1] = -1;
}

void TTerminationSignals::Drain() {
  unsigned char bytes[16];
  ssize_t n;
  while ((n = read(gPipe[0], bytes, sizeof bytes)) > 0) {
    for (ssize_t i = 0; i < n; ++i)
      if (FHandler) FHandler(bytes[i]);
  }
}
