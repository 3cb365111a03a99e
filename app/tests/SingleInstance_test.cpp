#include "app/SingleInstance.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QUuid>
#include <cstring>

namespace tessaro {
namespace {

// A key no other test run uses.
QString UniqueKey() { return "tessaro-test-" + QUuid::createUuid().toString(QUuid::Id128); }

TEST(TSingleInstance, SecondStartActivatesTheFirst) {
  const QString key = UniqueKey();
  TSingleInstance first(key);
  EXPECT_FALSE(first.ActivateRunning()) << "nobody runs yet";
  ASSERT_TRUE(first.Listen());
  QSignalSpy activated(&first, &TSingleInstance::ActivationRequested);

  TSingleInstance second(key);
  EXPECT_TRUE(second.ActivateRunning());
  EXPECT_TRUE(activated.wait(2000));
  EXPECT_EQ(activated.count(), 1);
  EXPECT_FALSE(second.Listen()) << "the running instance keeps its socket";

  TSingleInstance other(UniqueKey());
  EXPECT_FALSE(other.ActivateRunning()) << "another key reaches nobody";
}

TEST(TSingleInstance, StrangersOnTheSocketActivateNothing) {
  const QString key = UniqueKey();
  TSingleInstance first(key);
  ASSERT_TRUE(first.Listen());
  QSignalSpy activated(&first, &TSingleInstance::ActivationRequested);
  QLocalSocket stranger;
  stranger.connectToServer(SingleInstanceSocketName(key));
  ASSERT_TRUE(stranger.waitForConnected(1000));
  stranger.write("hello there, this is not the request\n");
  stranger.waitForBytesWritten(1000);
  EXPECT_FALSE(activated.wait(300));
}

TEST(TSingleInstance, SocketLeftByACrashIsTakenOver) {
  const QString key = UniqueKey();
  // What a crashed instance leaves: a bound socket file nobody listens on.
  const QByteArray path = QDir(QDir::tempPath()).filePath(SingleInstanceSocketName(key)).toLocal8Bit();
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(static_cast<size_t>(path.size()), sizeof address.sun_path);
  std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(fd);
  ASSERT_TRUE(QFile::exists(QString::fromLocal8Bit(path)));

  TSingleInstance next(key);
  EXPECT_FALSE(next.ActivateRunning());
  EXPECT_TRUE(next.Listen());
  TSingleInstance later(key);
  EXPECT_TRUE(later.ActivateRunning());
}

}  // namespace
}  // namespace tessaro
