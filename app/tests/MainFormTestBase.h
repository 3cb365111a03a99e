// Fixture for the main window's tests: the real window on scripted dialogs
// and fake desktop services, with its files in a temporary folder. The
// window is shown (offscreen), so layouts and events behave as on screen.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <memory>

#include "app/MainForm.h"
#include "controls/MyListbox.h"
#include "model/tests/Fakes.h"
#include "testing/TempFolder.h"

namespace tessaro::testing {

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override { Open(); }
  void TearDown() override { Close(); }

  TControllerPaths Paths() const {
    return TControllerPaths{FDir / "app", FDir / "work/", FDir / "cfg/cfg.ini"};
  }

  // A new window on the same files (the configuration of the last one
  // included).
  void Open() {
    FWindow = std::make_unique<TMainForm>();
    TMainFormServices services{FDialogs, FProgress, FDesktop, FPower, FClock, Paths()};
    FWindow->Attach(services);
    FWindow->OnOpenHelp = [this](const std::string& page) { FHelpPages.push_back(page); };
    FWindow->Start();
    FWindow->show();
    QApplication::processEvents();
  }
  void Close() {
    if (!FWindow) return;
    FWindow->Shutdown();
    FWindow.reset();
  }

  TMainForm& Window() { return *FWindow; }
  TMainController& Ctl() { return FWindow->Controller(); }
  template <typename T = QWidget>
  T& Child(const char* name) {
    T* child = FWindow->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return *child;
  }
  // A control's rectangle in window (client) coordinates.
  QRect InWindow(QWidget& w) { return QRect(w.mapTo(FWindow.get(), QPoint(0, 0)), w.size()); }

  void Click(const char* buttonName) {
    QTest::mouseClick(&Child(buttonName), Qt::LeftButton, {}, QPoint(5, 5));
    QApplication::processEvents();
  }
  // A key pressed while `target` (by default the set list) has the focus.
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}, QWidget* target = nullptr) {
    QTest::keyClick(target ? target : &FWindow->SetList(), key, modifiers);
    QApplication::processEvents();
  }
  // A click on the label of column `col` of list row `row`.
  void ClickCell(TMyListBox& list, int row, int col, bool doubleClick = false) {
    const TRowNode* node = list.GetRow(row);
    ASSERT_NE(node, nullptr) << "row " << row;
    ASSERT_LT(col, static_cast<int>(node->Labels.size()));
    QWidget* label = node->Labels[col];
    if (doubleClick)
      QTest::mouseDClick(label, Qt::LeftButton, {}, QPoint(2, 2));
    else
      QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(2, 2));
    QApplication::processEvents();
  }

  test::TempFolder FDir;
  FakeDialogs FDialogs;
  FakeProgress FProgress;
  FakeDesktop FDesktop;
  FakePower FPower;
  FakeClock FClock;
  std::vector<std::string> FHelpPages;
  std::unique_ptr<TMainForm> FWindow;
};

}  // namespace tessaro::testing
