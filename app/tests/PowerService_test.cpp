#include "app/PowerService.h"

#include <gtest/gtest.h>

#include <QDBusError>

namespace tessaro {
namespace {

TEST(PowerOffCall, AsksTheLoginManagerForAnOrdinaryPowerOff) {
  const QDBusMessage call = PowerOffCall();
  EXPECT_EQ(call.type(), QDBusMessage::MethodCallMessage);
  EXPECT_EQ(call.service(), QStringLiteral("org.freedesktop.login1"));
  EXPECT_EQ(call.path(), QStringLiteral("/org/freedesktop/login1"));
  EXPECT_EQ(call.interface(), QStringLiteral("org.freedesktop.login1.Manager"));
  EXPECT_EQ(call.member(), QStringLiteral("PowerOff"));
  ASSERT_EQ(call.arguments().size(), 1);
  EXPECT_EQ(call.arguments()[0].metaType(), QMetaType::fromType<bool>()) << "logind's signature is (b)";
  EXPECT_TRUE(call.arguments()[0].toBool()) << "interactive";
  EXPECT_TRUE(call.isInteractiveAuthorizationAllowed());
}

// The power service against a fake bus: what it sends, and how each reply
// reaches the caller. Nothing is ever switched off here.
TEST(TLogindPowerService, RepliesBecomeStatuses) {
  struct Case {
    const char* Name;
    std::function<QDBusMessage(const QDBusMessage&)> Reply;
    bool Ok;
    const char* MessagePart;  // in the error message
  } cases[] = {
      {"accepted", [](const QDBusMessage& c) { return c.createReply(); }, true, ""},
      {"refused by policy",
       [](const QDBusMessage& c) {
         return c.createErrorReply("org.freedesktop.DBus.Error.AccessDenied",
                                   "Interactive authentication required.");
       },
       false, "Interactive authentication required."},
      {"error without text",
       [](const QDBusMessage& c) {
         return c.createErrorReply("org.freedesktop.login1.OperationInProgress", "");
       },
       false, "OperationInProgress"},
      {"no login manager",
       [](const QDBusMessage& c) { return c.createErrorReply(QDBusError::ServiceUnknown, "no login1"); },
       false, "no login1"},
      {"no reply at all", [](const QDBusMessage&) { return QDBusMessage(); }, false, "无法关闭计算机"},
  };
  for (const Case& c : cases) {
    std::vector<QString> sent;
    TLogindPowerService power([&](const QDBusMessage& call) {
      sent.push_back(call.member());
      return c.Reply(call);
    });
    const Status s = power.PowerOff();
    EXPECT_EQ(s.ok(), c.Ok) << c.Name;
    if (!c.Ok) {
      EXPECT_NE(s.message().find(c.MessagePart), std::string::npos) << c.Name << ": " << s.message();
    }
    EXPECT_EQ(sent, std::vector<QString>{"PowerOff"}) << c.Name;
  }
}

}  // namespace
}  // namespace tessaro
