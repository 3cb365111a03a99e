// TCustomSizeForm: the custom-size dialog. Lists the custom sizes of the size
// catalogue, adds named sizes entered as album or spread sizes and deletes
// them without asking. Changes reach the catalogue at once. The checks live
// in model/DialogLogic. GUI thread only; the catalogue outlives the dialog,
// and the list's rows point at its records.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "model/DialogLogic.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace tessaro {

class TMyListBox;
class TSkinButton;

class TCustomSizeForm : public QDialog {
  Q_OBJECT

 public:
  TCustomSizeForm(QWidget* parent, TSizeList& sizeList);

  // The list's text click: column 0 shows the size, column 1 deletes it.
  void MyListBoxCustomSizeTextClick(int row, int col);
  void ShowSize(const TSizeNode& size);
  void DeleteSizeRow(int row);
  // Checks the album (false) or spread (true) radio, running its handler
  // when that changes the choice.
  void CheckKind(bool spread);
  void ButtonInfoClick();
  // Checks and adds; on failure shows the message and moves the focus.
  void SuiButtonOKClick();
  TCustomSizeFields Fields() const;

  std::function<void(const std::string& text)> ShowInfo;
  // The size tips box (caption and text).
  std::function<void(const std::string& caption, const std::string& text)> ShowTips;
  // The screen's logical pixels per inch, for the inch limits.
  double PixelsPerInch;

  TMyListBox* MyListBoxCustomSize;
  QLineEdit* EditSizeName;
  QRadioButton* RadioButtonSingle;
  QRadioButton* RadioButtonDouble;
  QLabel* LabelWidth;
  QLabel* LabelHeight;
  QLineEdit* EditWidth;
  QLineEdit* EditHeight;
  QComboBox* ComboBoxWidthUnit;
  QComboBox* ComboBoxHeightUnit;
  TSkinButton* ButtonInfo;
  TSkinButton* SuiButtonOK;
  TSkinButton* SuiButtonClose;

 private:
  void RadioButtonSingleClick();
  void RadioButtonDoubleClick();
  void UnitChanged(QComboBox* from, QComboBox* to);

  TSizeList& FSizeList;
};

// Shows the custom-size dialog modally over `parent`; the caller rebuilds its
// size menu afterwards.
void ExecCustomSizeDialog(QWidget* parent, TSizeList& sizeList);

}  // namespace tessaro
