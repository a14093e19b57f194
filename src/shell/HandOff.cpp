#include "shell/HandOff.h"

#include <QLocalServer>
#include <QLocalSocket>

#include "shell/ShareMemory.h"

THandOffReceiver::THandOffReceiver(QObject* parent)
    : QObject(parent), FServer(new QLocalServer(this)) {
  connect(FServer, &QLocalServer::newConnection, this, &THandOffReceiver::AcceptConnection);
}

THandOffReceiver::~THandOffReceiver() {
  FServer->close();
}

bool THandOffReceiver::Listen() {
  QString path = QString::fromStdString(HandOffEndpointPath());
  if (path.isEmpty()) return false;
  QLocalServer::removeServer(path);
  FServer->setSocketOptions(QLocalServer::UserAccessOption);
  // Room for many copies started at once; they are accepted as fast as they come.
  FServer->setListenBacklogSize(128);
  FServer->setMaxPendingConnections(128);
  return FServer->listen(path);
}

void THandOffReceiver::AcceptConnection() {
  while (QLocalSocket* socket = FServer->nextPendingConnection()) {
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { ReadMessage(socket); });
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (socket->bytesAvailable() > 0) ReadMessage(socket);
  }
}

void THandOffReceiver::ReadMessage(QLocalSocket* socket) {
  while (socket->bytesAvailable() >= qint64(kHandOffMessageBytes)) {
    QByteArray wire = socket->read(kHandOffMessageBytes);
    HandOffMessage m = DecodeHandOffMessage(reinterpret_cast<const uint8_t*>(wire.constData()));
    if (m.message == kHandOffMessage) {
      // Consumed before the answer: the next copy in line finds the area empty.
      std::u16string text = TakeHandOffText(ShareMemoryView(), kShareMemorySize);
      if (FHandler) FHandler(QString::fromStdU16String(text));
    }
    // The answer releases the waiting second copy; its value means nothing.
    static const char kReply[8] = {};
    socket->write(kReply, sizeof kReply);
    socket->flush();
  }
}
