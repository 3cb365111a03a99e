#include "app/SingleInstance.h"

#include <unistd.h>

#include <QLocalSocket>

namespace tessaro {

namespace {

// What a second start sends; anything else on the socket is ignored.
constexpr char kActivate[] = "activate\n";
constexpr int kTimeoutMs = 1000;

}  // namespace

QString SingleInstanceSocketName(const QString& key) { return key + "-" + QString::number(::getuid()); }

TSingleInstance::TSingleInstance(const QString& key, QObject* parent)
    : QObject(parent), FName(SingleInstanceSocketName(key)) {
  // Only this user may connect.
  FServer.setSocketOptions(QLocalServer::UserAccessOption);
  connect(&FServer, &QLocalServer::newConnection, this, &TSingleInstance::OnNewConnection);
}

TSingleInstance::~TSingleInstance() { FServer.close(); }

bool TSingleInstance::ActivateRunning() {
  QLocalSocket socket;
  socket.connectToServer(FName);
  if (!socket.waitForConnected(kTimeoutMs)) return false;
  socket.write(kActivate, sizeof kActivate - 1);
  if (!socket.waitForBytesWritten(kTimeoutMs)) return false;
  socket.disconnectFromServer();
  return true;
}

bool TSingleInstance::Listen() {
  if (FServer.isListening()) return true;
  // Never take the name from a live instance (listening may replace the
  // socket file of another server).
  QLocalSocket probe;
  probe.connectToServer(FName);
  if (probe.waitForConnected(kTimeoutMs)) return false;
  if (FServer.listen(FName)) return true;
  // A socket file left by an instance that crashed answers nobody.
  QLocalServer::removeServer(FName);
  return FServer.listen(FName);
}

void TSingleInstance::OnNewConnection() {
  while (QLocalSocket* socket = FServer.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      // The request is one short line; a peer that sends more is not ours.
      if (!socket->canReadLine() && socket->bytesAvailable() < 64) return;
      const QByteArray line = socket->readLine(64);
      if (line == kActivate) emit ActivationRequested();
      socket->disconnectFromServer();
    });
  }
}

}  // namespace tessaro
