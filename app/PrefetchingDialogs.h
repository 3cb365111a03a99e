// The dialog service as the controller of the main window sees it: every
// call goes to the program's own service; the photos chosen in the photo
// dialog have their thumbnails decoded in the background at once, so that
// the import adds each row as soon as its thumbnail is ready instead of
// decoding one photo after the other on the GUI thread.
// Borrows both the service and the list; GUI thread only.
#pragma once

#include "controls/MyListBoxRows.h"
#include "model/Views.h"

namespace tessaro {

class TPrefetchingDialogs : public TDialogService {
 public:
  TPrefetchingDialogs(TDialogService& dialogs, TMyListBoxRows& photos) : FDialogs(dialogs), FPhotos(photos) {}

  std::vector<std::string> OpenPictureFileNames(int filterIndex) override {
    std::vector<std::string> files = FDialogs.OpenPictureFileNames(filterIndex);
    FPhotos.Prefetch(files);
    return files;
  }

  void ShowInfo(const std::string& text) override { FDialogs.ShowInfo(text); }
  TAnswer AskYesNo(const std::string& caption, const std::string& text) override {
    return FDialogs.AskYesNo(caption, text);
  }
  TAnswer AskYesNoCancel(const std::string& caption, const std::string& text) override {
    return FDialogs.AskYesNoCancel(caption, text);
  }
  std::string SaveSetFileName(const std::string& title, const std::string& proposedName) override {
    return FDialogs.SaveSetFileName(title, proposedName);
  }
  std::vector<std::string> OpenSetFileNames() override { return FDialogs.OpenSetFileNames(); }
  TTemplateBrowserResult BrowseTemplates(TSizeNode& currentSize, TSizeList& sizeList) override {
    return FDialogs.BrowseTemplates(currentSize, sizeList);
  }
  void EditCustomSizes(TSizeList& sizeList) override { FDialogs.EditCustomSizes(sizeList); }
  bool AskOkCancel(const std::string& caption, const std::string& text) override {
    return FDialogs.AskOkCancel(caption, text);
  }
  std::string SaveResultFileName(const std::string& proposedName, const std::string& defaultExtension,
                                 const std::string& filter) override {
    return FDialogs.SaveResultFileName(proposedName, defaultExtension, filter);
  }
  std::string ChooseFolder(const std::string& title) override { return FDialogs.ChooseFolder(title); }

 private:
  TDialogService& FDialogs;
  TMyListBoxRows& FPhotos;
};

}  // namespace tessaro
