// One running program per user: the first instance listens on a local
// socket named after the user; a second start connects, asks the first to
// come forward and ends. Main thread only.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

namespace tessaro {

// The socket name for `key`: the key and the user's id, so that users of one
// machine do not reach each other's program.
QString SingleInstanceSocketName(const QString& key);

class TSingleInstance : public QObject {
  Q_OBJECT
 public:
  explicit TSingleInstance(const QString& key, QObject* parent = nullptr);
  ~TSingleInstance() override;

  // True when another instance answered and was told to come forward (this
  // process then ends with exit code 0); false when none is running.
  bool ActivateRunning();
  // Becomes the instance the others activate. A socket left behind by a
  // crashed instance is removed first. False when listening fails.
  bool Listen();

 signals:
  // Another start asked this instance to come forward (restore and raise
  // the main window).
  void ActivationRequested();

 private:
  void OnNewConnection();

  QString FName;
  QLocalServer FServer;
};

}  // namespace tessaro
