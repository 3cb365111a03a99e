// TSetForm: the settings dialog. It edits the settings the main window holds
// (template folder, output resolution, shop-logo watermark, image editor):
// filled from them when shown, written back only when OK's checks pass.
// The decisions live in model/DialogLogic; this class reads and drives the
// controls. GUI thread only; the settings outlive the dialog.
#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <string>

#include "model/Config.h"
#include "model/DialogLogic.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace tessaro {

class TSkinButton;

class TSetForm : public QDialog {
  Q_OBJECT

 public:
  TSetForm(QWidget* parent, TAppSettings& settings);

  // Drops a template folder or watermark file that no longer exists from the
  // settings and fills the controls. Runs when the dialog is first shown.
  void FormShow();
  // The controls' contents.
  TSetFormFields Fields() const;

  // Checks; on success stores and closes with Accepted. On failure shows the
  // message, focuses the field and stays open.
  void ButtonOKClick();
  void ButtonCancelClick();
  void ButtonBrowseTempPathClick();
  void ButtonBrowseWatermarkClick();
  void ButtonBrowseEditorClick();
  void RadioButtonAutoResolutionClick();
  void RadioButtonFixResolutionClick();
  void CheckBoxWatermarkClick();
  void PositionClick(int code);

  // How the dialog reports and asks; the owner or a test may replace them.
  std::function<void(const std::string& text)> ShowInfo;
  // Folder picker starting at a folder; empty when cancelled.
  std::function<std::string(const std::string& start)> ChooseFolder;
  // Watermark picture and editor program pickers; empty when cancelled.
  std::function<std::string()> ChooseWatermarkFile;
  std::function<std::string()> ChooseEditorProgram;
  // Where editor commands are looked up ($PATH by default).
  std::string SearchPath;

  QLineEdit* EditTempPath;
  TSkinButton* ButtonBrowseTempPath;
  QRadioButton* RadioButtonAutoResolution;
  QRadioButton* RadioButtonFixResolution;
  QLineEdit* EditResolution;
  QCheckBox* CheckBoxWatermark;
  QLineEdit* EditWatermarkFile;
  TSkinButton* ButtonBrowseWatermark;
  std::array<QRadioButton*, kPositionCount> PositionButtons;  // by position code
  QLineEdit* EditMarginH;
  QLineEdit* EditMarginV;
  QLineEdit* EditTrans;
  QLineEdit* EditScale;
  QLineEdit* EditImageEditor;
  TSkinButton* ButtonBrowseEditor;
  TSkinButton* ButtonOK;
  TSkinButton* ButtonCancel;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ApplyWatermarkEnabling();
  QWidget* FieldWidget(TSetField field) const;

  TAppSettings& FSettings;
  bool FShown = false;
};

// Shows the settings dialog modally over `parent`. True when OK stored the
// fields into `settings` (which FormShow may have changed even on Cancel).
bool ExecSettingsDialog(QWidget* parent, TAppSettings& settings);

}  // namespace tessaro
