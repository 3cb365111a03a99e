// tessaro: the desktop program. One instance per user (a second start brings
// the first window forward and ends), the splash while the main window is
// made, the main window's start-up in its fixed order, the demo set at the
// first start, and the orderly shutdown.
//
// usage: tessaro [SET.cys] [--screenshot FILE]
//   SET.cys            opens that set instead of the unnamed one
//   --screenshot FILE  saves a picture of the window once it is shown and ends
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "app/CompletionTune.h"
#include "app/DesktopService.h"
#include "app/DialogService.h"
#include "app/MainForm.h"
#include "app/PowerService.h"
#include "app/SingleInstance.h"
#include "base/FileIo.h"
#include "dialogs/Flash.h"
#include "dialogs/Parameter.h"
#include "dialogs/ProcessBar.h"
#include "dialogs/Stat.h"
#include "dialogs/ThreadBar.h"
#include "engine/MyThread.h"
#include "engine/PSVersions.h"
#include "model/Config.h"
#include "model/FirstStart.h"
#include "model/Lifecycle.h"

using namespace tessaro;

namespace {

struct TOptions {
  std::string SetFile;
  QString Screenshot;
};

TOptions ParseOptions(const QStringList& args) {
  TOptions options;
  for (int i = 1; i < args.size(); ++i) {
    if (args[i] == "--screenshot" && i + 1 < args.size())
      options.Screenshot = args[++i];
    else if (!args[i].startsWith("-"))
      options.SetFile = args[i].toStdString();
  }
  return options;
}

// The key of the single-instance channel: one per user.
QString InstanceKey() {
  const QByteArray user = qgetenv("USER");
  return "tessaro-" + (user.isEmpty() ? QString::number(QDir::home().absolutePath().size()) : QString(user));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("tessaro");
  QApplication::setApplicationDisplayName("Tessaro");
  const TOptions options = ParseOptions(QApplication::arguments());

  // A second start only brings the first window forward; no splash.
  TSingleInstance instance(InstanceKey());
  if (options.Screenshot.isEmpty()) {
    if (instance.ActivateRunning()) return 0;
    instance.Listen();
  }

  // FormCreate. The splash first, painted at once.
  QElapsedTimer splashShown;
  splashShown.start();
  auto flash = std::make_unique<TFlashForm>();
  flash->Present();

  TControllerPaths paths{AppDir(), TempDirPath(), ConfigFilePath()};
  // The editor version table; a missing file leaves it empty.
  TPSVersionList versions;
  if (auto loaded = LoadPSVersions(PSConfigPath()); loaded.ok()) versions = std::move(*loaded);

  TMainForm window;
  window.setWindowTitle("Tessaro");
  TSystemClock clock;
  TQtDialogService dialogs(&window);
  TQtDesktopService desktop;
  TLogindPowerService power;
  TCompletionTune tune;
  window.OnPlayTune = [&tune](const std::string& file) { tune.Play(file); };
  window.OnStopTune = [&tune] { tune.Stop(); };

  TProcessForm progress(&window);
  TStatForm stat(&window);

  TMainFormServices services{dialogs, progress, desktop, power, clock, paths};
  services.StatList = &stat.Rows();
  window.Attach(services);
  TMainController& controller = window.Controller();
  window.Start();

  // The composition engine behind its progress window.
  TEngineContext context;
  context.Versions = &versions;
  context.Settings = &controller.Settings;
  context.Queue = &controller.MessageQueue;
  context.TempDir = paths.TempDir;
  std::unique_ptr<TThreadBarForm> threadBar;
  TEngineComposeService engine(context, [&threadBar](const std::string&, int, int, int percent) {
    if (threadBar) threadBar->ReportProgress(percent);
  });
  threadBar = std::make_unique<TThreadBarForm>(&window, engine, [&engine] { engine.CancelJob(); });
  window.SetComposeService(*threadBar);

  // The template browser also offers the bundled library.
  const std::optional<TDemoPlace> demo = FindDemo(paths.AppDir);
  dialogs.SetTemplateFolders(&controller.Settings, demo ? demo->Library : std::string());

  window.OnClearStatLargeView = [&stat] { stat.ClearLargeView(); };
  QObject::connect(&stat, &TStatForm::PlaceClicked, &window,
                   [&controller](int row) { controller.StatListTextClick(row, 3); });
  QObject::connect(&stat, &TStatForm::DeleteClicked, &window,
                   [&controller](int row) { controller.StatListTextClick(row, 4); });
  stat.PhotoFileOf = [&controller](int row) -> std::string {
    const TSetNode* set = controller.CurrentSet();
    if (!set || row < 0 || row >= static_cast<int>(set->Photos.size())) return {};
    return set->Photos[row]->FileName;
  };
  window.OnToggleStat = [&window, &stat] {
    // Shown with its bottom-left corner 2 pixels inside the preview screen's.
    const QRect preview(window.mapToGlobal(TMainForm::kScreenRect.topLeft()), TMainForm::kScreenRect.size());
    const QScreen* screen = window.screen();
    stat.ToggleShown(preview, screen ? screen->availableGeometry() : QRect());
  };
  window.OnSettings = [&window, &controller] { ExecSettingsDialog(&window, controller.Settings); };

  // The first start opens the demo set; a set named on the command line wins.
  std::string setFile = options.SetFile;
  const std::string demoSet =
      PrepareFirstStart(paths.ConfigFile, paths.AppDir, UserDataFolder(), controller.Settings);
  if (setFile.empty()) setFile = demoSet;
  if (!setFile.empty()) window.OpenSetAtStart(setFile);

  // The splash stays a second in all.
  while (splashShown.elapsed() < 1000 && options.Screenshot.isEmpty()) {
    QApplication::processEvents(QEventLoop::AllEvents, 50);
    QThread::msleep(20);
  }
  flash.reset();

  // Centred on the desktop.
  if (QScreen* screen = QApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    window.move(area.center() - QPoint(window.width() / 2, window.height() / 2));
  }
  window.show();
  QObject::connect(&instance, &TSingleInstance::ActivationRequested, &window, [&window] {
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    window.activateWindow();
  });

  if (!options.Screenshot.isEmpty()) {
    // The picture shows the set's first template on the screen.
    if (window.TempList().Count() > 0) window.TempList().SetSelected(0, true);
    QTimer::singleShot(1500, &window, [&window, &options] {
      const bool saved = window.Snapshot().save(options.Screenshot);
      if (!saved)
        std::fprintf(stderr, "tessaro: cannot write %s\n", options.Screenshot.toLocal8Bit().constData());
      QApplication::exit(saved ? 0 : 1);
    });
  }
  const int code = QApplication::exec();
  // FormDestroy while the services still exist: configuration saved, sets
  // released, working folder removed.
  window.Shutdown();
  return code;
}
