// The controller's dialog service on Qt: message boxes with the program's
// captions, icons and Chinese buttons, and Qt's file dialogs with the
// program's filters and default extensions. Main thread only.
//
// Every box and picker is built by a Make* function before it is shown, so
// tests can look at a box (caption, icon, buttons, filters) without showing
// it to anybody.
#pragma once

#include <QFileDialog>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <memory>
#include <string>

#include "model/Config.h"
#include "model/Views.h"

namespace tessaro {

// The kinds of boxes the controller asks for.
enum class TBoxKind { Info, YesNo, YesNoCancel, OkCancel };

// A modal message box of `kind`: Info has the information icon and OK; the
// questions have the question icon and their buttons, labelled in Chinese,
// with Escape answering No (YesNo) or Cancel.
std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, TBoxKind kind, const std::string& caption,
                                            const std::string& text);

// A filter in the pairs form "Name(*.a)|*.a|Other|*.b;*.c" as Qt name
// filters, one per pair: "Name(*.a)" stays as it is, "Other" becomes
// "Other (*.b *.c)". A trailing name without patterns is dropped.
QStringList QtNameFilters(const std::string& pairs);
// The photo dialog's three entries (all pictures, transparent, opaque).
QStringList PictureNameFilters();

// The set-file save dialog: filter "套系文件(*.cys)", default suffix cys, no
// question before replacing a file, the proposed name filled in.
std::unique_ptr<QFileDialog> MakeSaveSetDialog(QWidget* parent, const std::string& title,
                                               const std::string& proposedName);
// The set-file open dialog: several existing .cys files.
std::unique_ptr<QFileDialog> MakeOpenSetDialog(QWidget* parent);
// The photo open dialog: several existing files, filter entry `filterIndex`
// (1-based; out of range picks the first) selected.
std::unique_ptr<QFileDialog> MakeOpenPictureDialog(QWidget* parent, int filterIndex);
// The result save dialog: the proposed name, the default extension (".jpg",
// with or without its dot) and the filter in the pairs form.
std::unique_ptr<QFileDialog> MakeSaveResultDialog(QWidget* parent, const std::string& proposedName,
                                                  const std::string& defaultExtension,
                                                  const std::string& filter);
// A folder picker with a title.
std::unique_ptr<QFileDialog> MakeFolderDialog(QWidget* parent, const std::string& title);

class TQtDialogService : public TDialogService {
 public:
  // `parent` owns the boxes (the main window); it outlives the service.
  explicit TQtDialogService(QWidget* parent);

  // Where the template browser starts: the settings' template folder (read
  // at each opening) and the program's bundled library. Unset: both empty.
  void SetTemplateFolders(const TAppSettings* settings, std::string bundledTemplatesFolder);

  void ShowInfo(const std::string& text) override;
  TAnswer AskYesNo(const std::string& caption, const std::string& text) override;
  TAnswer AskYesNoCancel(const std::string& caption, const std::string& text) override;
  std::string SaveSetFileName(const std::string& title, const std::string& proposedName) override;
  std::vector<std::string> OpenSetFileNames() override;
  std::vector<std::string> OpenPictureFileNames(int filterIndex) override;
  TTemplateBrowserResult BrowseTemplates(TSizeNode& currentSize, TSizeList& sizeList) override;
  void EditCustomSizes(TSizeList& sizeList) override;
  bool AskOkCancel(const std::string& caption, const std::string& text) override;
  std::string SaveResultFileName(const std::string& proposedName, const std::string& defaultExtension,
                                 const std::string& filter) override;
  std::string ChooseFolder(const std::string& title) override;

 private:
  QWidget* FParent;
  const TAppSettings* FSettings = nullptr;
  std::string FBundledTemplates;
};

}  // namespace tessaro
