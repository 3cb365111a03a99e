#include "app/DesktopService.h"

#include <gtest/gtest.h>

#include <QUrl>

#include "testing/TempFolder.h"

namespace tessaro {
namespace {

TEST(EditorLaunchFor, SplitsTheCommandAndAppendsTheFile) {
  const std::string file = "/照片/客户 A/01.jpg";  // a blank in the path stays one argument
  struct Case {
    std::string Command;
    QString Program;
    QStringList Arguments;  // without the file
  } cases[] = {
      {"gimp", "gimp", {}},
      {"gimp --new-instance", "gimp", {"--new-instance"}},
      {"\"/opt/My Editor/edit\" -x 2", "/opt/My Editor/edit", {"-x", "2"}},
      {"  krita  ", "krita", {}},
  };
  for (const Case& c : cases) {
    const TEditorLaunch launch = EditorLaunchFor(c.Command, file);
    EXPECT_EQ(launch.Program, c.Program) << c.Command;
    EXPECT_EQ(launch.Arguments, c.Arguments + QStringList{QString::fromStdString(file)}) << c.Command;
  }
  EXPECT_TRUE(EditorLaunchFor("", file).Program.isEmpty());
  EXPECT_TRUE(EditorLaunchFor("\"\"", file).Program.isEmpty());
}

// Records what the service asks the desktop to do, and answers as told.
struct Recorder {
  bool StartWorks = true;
  bool OpenWorks = true;
  std::vector<QStringList> Started;  // program, then arguments
  std::vector<QUrl> Opened;

  TQtDesktopService Service() {
    return TQtDesktopService(
        [this](const QString& program, const QStringList& arguments) {
          Started.push_back(QStringList{program} + arguments);
          return StartWorks;
        },
        [this](const QUrl& url) {
          Opened.push_back(url);
          return OpenWorks;
        });
  }
};

TEST(TQtDesktopService, OpensTheEditorOrTheDesktopHandler) {
  test::TempFolder dir;
  const std::string photo = dir.Write("客户/01.jpg", "jpeg");

  Recorder r;
  auto desktop = r.Service();
  EXPECT_TRUE(desktop.OpenInImageEditor("gimp -n", photo).ok());
  ASSERT_EQ(r.Started.size(), 1u);
  EXPECT_EQ(r.Started[0], (QStringList{"gimp", "-n", QString::fromStdString(photo)}));

  EXPECT_TRUE(desktop.OpenInImageEditor(" ", photo).ok()) << "a blank command means the desktop's handler";
  ASSERT_EQ(r.Opened.size(), 1u);
  EXPECT_EQ(r.Opened[0].toLocalFile().toStdString(), photo);

  r.StartWorks = r.OpenWorks = false;
  Status notStarted = desktop.OpenInImageEditor("no-such-editor", photo);
  EXPECT_FALSE(notStarted.ok());
  EXPECT_NE(notStarted.message().find("no-such-editor"), std::string::npos) << notStarted.message();
  EXPECT_FALSE(desktop.OpenInImageEditor("", photo).ok()) << "no handler for the file";

  const size_t calls = r.Started.size() + r.Opened.size();
  EXPECT_FALSE(desktop.OpenInImageEditor("gimp", dir / "missing.jpg").ok());
  EXPECT_EQ(r.Started.size() + r.Opened.size(), calls) << "a missing photo starts nothing";
}

TEST(TQtDesktopService, OpenFolderHandsTheFolderToTheFileManager) {
  Recorder r;
  auto desktop = r.Service();
  desktop.OpenFolder("/成品/1_张三/");
  desktop.OpenFolder("");
  ASSERT_EQ(r.Opened.size(), 1u);
  EXPECT_TRUE(r.Opened[0].isLocalFile());
  EXPECT_EQ(r.Opened[0].toLocalFile(), QStringLiteral("/成品/1_张三/"));
  r.OpenWorks = false;
  desktop.OpenFolder("/x/");  // failures are ignored: nothing to check but that it returns
  EXPECT_EQ(r.Opened.size(), 2u);
}

}  // namespace
}  // namespace tessaro
