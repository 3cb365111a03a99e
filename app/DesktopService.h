// The controller's desktop service: the file manager and the user's image
// editor, started without waiting for them. Main thread only.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <string>

#include "model/Views.h"

namespace tessaro {

// How a configured editor command is run for a file: the command split as a
// shell would (quotes group words) with the file appended as the last
// argument. Empty program when the command has no words.
struct TEditorLaunch {
  QString Program;
  QStringList Arguments;
};
TEditorLaunch EditorLaunchFor(const std::string& command, const std::string& file);

class TQtDesktopService : public TDesktopService {
 public:
  // Starts a program detached; true when it started. The default is
  // QProcess::startDetached; tests put a recorder in its place.
  using TStarter = std::function<bool(const QString& program, const QStringList& arguments)>;
  // Hands a URL to the desktop; true when a handler took it. The default is
  // QDesktopServices::openUrl.
  using TUrlOpener = std::function<bool(const QUrl& url)>;

  TQtDesktopService();
  TQtDesktopService(TStarter starter, TUrlOpener opener);

  void OpenFolder(const std::string& folder) override;
  Status OpenInImageEditor(const std::string& command, const std::string& file) override;

 private:
  TStarter FStart;
  TUrlOpener FOpen;
};

}  // namespace tessaro
