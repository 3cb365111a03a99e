// Switching the machine off after a batch through the login manager
// (org.freedesktop.login1 on the system bus). The power-off is an ordinary
// one: the session's other programs are asked to end and may save their
// work or delay it; it is never forced. Main thread only.
#pragma once

#include <QDBusMessage>
#include <functional>

#include "model/Views.h"

namespace tessaro {

// The method call that asks the login manager to power off:
// Manager.PowerOff(interactive = true), so that the session's policy may
// ask the user for authorisation instead of refusing outright.
QDBusMessage PowerOffCall();

// The reply turned into a Status: a method return is Ok; an error reply
// (refused by policy, an inhibitor, no login manager) is an error whose
// message says that the computer could not be switched off and why.
Status PowerOffStatus(const QDBusMessage& reply);

class TLogindPowerService : public TPowerService {
 public:
  // Sends a call and waits for its reply. The default sends it on the system
  // bus; tests put a fake bus in its place.
  using TBusCall = std::function<QDBusMessage(const QDBusMessage& call)>;

  TLogindPowerService();
  explicit TLogindPowerService(TBusCall call);

  Status PowerOff() override;

 private:
  TBusCall FCall;
};

}  // namespace tessaro
