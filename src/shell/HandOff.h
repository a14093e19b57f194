// The running copy's side of the hand-off: listens on the per-user endpoint and passes the text
// a second copy left in the shared area to a handler, on the main thread.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;
class QLocalSocket;

class THandOffReceiver : public QObject {
 public:
  using THandler = std::function<void(const QString& text)>;

  explicit THandOffReceiver(QObject* parent = nullptr);
  ~THandOffReceiver() override;

  // Starts listening; only the copy that holds the instance lock may call this, as it removes a
  // stale endpoint left by a copy that died.
  bool Listen();
  void SetHandler(THandler handler) { FHandler = std::move(handler); }

 private:
  void AcceptConnection();
  void ReadMessage(QLocalSocket* socket);

  QLocalServer* FServer;
  THandler FHandler;
};
