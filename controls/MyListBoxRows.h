// TMyListBoxRows: the controller's row list (TRowList) over a TMyListBox.
// The list is not owned and must outlive the adapter. Row data pointers (P)
// are left empty: the controller keeps its records by index. GUI thread only.
#pragma once

#include <string>
#include <vector>

#include "controls/MyListbox.h"
#include "model/Views.h"

namespace tessaro {

class TMyListBoxRows : public TRowList {
 public:
  explicit TMyListBoxRows(TMyListBox& list) : FList(list) {}

  bool AddRow(const std::vector<std::string>& texts, const std::string& thumbFile, bool checked) override;
  void DeleteRow(int row) override;
  void Clear() override;
  void SetCellText(int row, int col, const std::string& text) override;
  std::string GetCellText(int row, int col) const override;
  void SetSelected(int row, bool selected) override;
  int SelectedIndex() const override;
  bool GetChecked(int row) const override;
  void SetChecked(int row, bool checked) override;
  int Count() const override;

  // Decodes the thumbnails of a batch about to be added on every core; the
  // AddRow calls that follow take them in order.
  void Prefetch(const std::vector<std::string>& thumbFiles) { FList.PrefetchThumbnails(thumbFiles); }
  TMyListBox& List() { return FList; }

 private:
  TMyListBox& FList;
};

}  // namespace tessaro
