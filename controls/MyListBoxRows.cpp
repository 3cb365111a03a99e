#include "controls/MyListBoxRows.h"

namespace tessaro {

bool TMyListBoxRows::AddRow(const std::vector<std::string>& texts, const std::string& thumbFile,
                            bool checked) {
  return FList.AddRow(texts, thumbFile, nullptr, checked);
}
void TMyListBoxRows::DeleteRow(int row) { FList.DeleteRow(row); }
void TMyListBoxRows::Clear() { FList.Clear(); }
void TMyListBoxRows::SetCellText(int row, int col, const std::string& text) {
  FList.SetCellText(row, col, text);
}
std::string TMyListBoxRows::GetCellText(int row, int col) const { return FList.GetCellText(row, col); }
void TMyListBoxRows::SetSelected(int row, bool selected) { FList.SetSelected(row, selected); }
int TMyListBoxRows::SelectedIndex() const { return FList.SelectedIndex(); }
bool TMyListBoxRows::GetChecked(int row) const { return FList.GetChecked(row); }
void TMyListBoxRows::SetChecked(int row, bool checked) { FList.SetChecked(row, checked); }
int TMyListBoxRows::Count() const { return FList.Count(); }

}  // namespace tessaro
