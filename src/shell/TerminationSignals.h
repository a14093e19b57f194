// Asks to end the program (SIGTERM, SIGINT, SIGHUP) arrive as a call on the main thread, where the
// program can close the way its own quit command does. The signal handler itself only writes one
// byte to a pipe, the one thing it may safely do.
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

class TTerminationSignals : public QObject {
 public:
  using THandler = std::function<void(int signal)>;

  // One object at a time; it takes the three signals until it goes, then gives them back to their
  // default action. After the first signal, a second one ends the process at once (whoever
  // repeats the request does not want to wait for the close).
  explicit TTerminationSignals(THandler handler, QObject* parent = nullptr);
  ~TTerminationSignals() override;
  TTerminationSignals(const TTerminationSignals&) = delete;
  TTerminationSignals& operator=(const TTerminationSignals&) = delete;

  // False when the pipe could not be made (the signals then keep their default action).
  bool Installed() const { return FNotifier != nullptr; }

 private:
  void Drain();

  THandler FHandler;
  QSocketNotifier* FNotifier = nullptr;
};
