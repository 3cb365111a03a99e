#include "app/DesktopService.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace tessaro {

TEditorLaunch EditorLaunchFor(const std::string& command, const std::string& file) {
  QStringList words = QProcess::splitCommand(QString::fromStdString(command));
  if (words.isEmpty()) return {};
  TEditorLaunch launch;
  launch.Program = words.takeFirst();
  launch.Arguments = words;
  launch.Arguments << QString::fromStdString(file);
  return launch;
}

TQtDesktopService::TQtDesktopService()
    : TQtDesktopService(
          [](const QString& program, const QStringList& arguments) {
            return QProcess::startDetached(program, arguments);
          },
          [](const QUrl& url) { return QDesktopServices::openUrl(url); }) {}

TQtDesktopService::TQtDesktopService(TStarter starter, TUrlOpener opener)
    : FStart(std::move(starter)), FOpen(std::move(opener)) {}

void TQtDesktopService::OpenFolder(const std::string& folder) {
  if (folder.empty()) return;
  FOpen(QUrl::fromLocalFile(QString::fromStdString(folder)));
}

Status TQtDesktopService::OpenInImageEditor(const std::string& command, const std::string& file) {
  const QString path = QString::fromStdString(file);
  if (!QFileInfo(path).isFile()) return Status::Error(file + ": 文件不存在");
  if (QString::fromStdString(command).trimmed().isEmpty()) {
    if (FOpen(QUrl::fromLocalFile(path))) return Status::Ok();
    return Status::Error("没有可以打开此文件的图像编辑器：" + file);
  }
  const TEditorLaunch launch = EditorLaunchFor(command, file);
  if (launch.Program.isEmpty()) return Status::Error("图像编辑器的命令无法识别：" + command);
  if (FStart(launch.Program, launch.Arguments)) return Status::Ok();
  return Status::Error("无法启动图像编辑器：" + launch.Program.toStdString());
}

}  // namespace tessaro
