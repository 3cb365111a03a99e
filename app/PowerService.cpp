#include "app/PowerService.h"

#include <QDBusConnection>
#include <QDBusError>

namespace tessaro {

namespace {

constexpr const char* kService = "org.freedesktop.login1";
constexpr const char* kPath = "/org/freedesktop/login1";
constexpr const char* kInterface = "org.freedesktop.login1.Manager";
// Long enough for the session's policy agent to ask the user.
constexpr int kReplyTimeoutMs = 120000;

}  // namespace

QDBusMessage PowerOffCall() {
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, "PowerOff");
  call << true;  // interactive: the policy may ask instead of refusing
  call.setInteractiveAuthorizationAllowed(true);
  return call;
}

Status PowerOffStatus(const QDBusMessage& reply) {
  if (reply.type() == QDBusMessage::ReplyMessage) return Status::Ok();
  std::string why;
  if (reply.type() == QDBusMessage::ErrorMessage) {
    why = reply.errorMessage().toStdString();
    if (why.empty()) why = reply.errorName().toStdString();
  }
  if (why.empty()) why = "系统没有应答";
  return Status::Error("无法关闭计算机：" + why);
}

TLogindPowerService::TLogindPowerService()
    : TLogindPowerService([](const QDBusMessage& call) {
        QDBusConnection bus = QDBusConnection::systemBus();
        if (!bus.isConnected())
          return call.createErrorReply(QDBusError::Disconnected, bus.lastError().message().isEmpty()
                                                                     ? QStringLiteral("没有连接到系统总线")
                                                                     : bus.lastError().message());
        return bus.call(call, QDBus::Block, kReplyTimeoutMs);
      }) {}

TLogindPowerService::TLogindPowerService(TBusCall call) : FCall(std::move(call)) {}

Status TLogindPowerService::PowerOff() { return PowerOffStatus(FCall(PowerOffCall())); }

}  // namespace tessaro
