#include "model/MainWindow.h"

#include <algorithm>
#include <cstdint>

namespace tessaro {

const char* HintText(THintControl control) {
  switch (control) {
    case THintControl::ImageButtonTemp:
      return "导入Brivanto自动模板（可以同时导入单张或多张模板）  快捷键：F2";
    case THintControl::ImageButtonPhoto:
      return "导入照片，当导入的照片与当前模板的照片类型匹配时，会自动添加到模板。  快捷键：F3";
    case THintControl::ImageButtonPreviewSingle:
      return "生成当前模板的预览图并显示出来。 快捷键：Enter";
    case THintControl::ImageButtonBatchPreview:
      return "将所有选中的套系中的全部模板生成预览图，完成后可点击每个模板，可查看各自的预览图。 "
             "快捷键：Shirt+Enter";
    case THintControl::ImageButtonSet:
      return "在这里设置系统的各项参数，包括模板的存放位置和影楼的标志（水印）等";
    case THintControl::ImageButtonHelp:
      return "在使用过程中如果碰到问题的话，可以点击帮助来获得支持";
    case THintControl::ImageButtonSingleCreateResult:
      return "将当前选中的模板生成成品图。成品图既可以直接打印成照片交付用户。快捷键：F5";
    case THintControl::ImageButtonBatchCreateResult:
      return "将所有选中的套系中的全部模板生成成品图，所有成品图会按照套系来自动生成文件夹分类存放，便于管理"
             "。 "
             "快捷键：F8";
    case THintControl::ImageButtonPSDFormat:
      return "生成PSD分层格式文件";
    case THintControl::ImageButtonJpgFormat:
      return "生成JPG合层格式文件";
    case THintControl::ButtonTemp:
      return "查看当前套系中已添加的模板";
    case THintControl::ButtonPhoto:
      return "查看已添加到系统的照片";
    case THintControl::ButtonSelectAll:
      return "选中当前套系的所有模板，主要用于全部删除。";
    case THintControl::ButtonDel:
      return "删除当前选中的模板";
    case THintControl::ButtonStat:
      return "查看所有照片在模板中的使用次数。";
    case THintControl::ButtonNewSet:
      return "新建套系，套系是为了便于使用者同时制作多位客户艺术照而设计的，每个套系可以添加多个模板。快捷键"
             "：Ctrl+N";
    case THintControl::ButtonSaveSet:
      return "保存当前套系。快捷键：Ctrl+S";
    case THintControl::ButtonSaveAsSet:
      return "另保存当前套系。快捷键：Ctrl+Shift+S";
    case THintControl::ButtonLoadSet:
      return "导入一个套系文件。快捷键：Ctrl+0";
    case THintControl::ButtonSelectAllSet:
      return "选中所有已导入的套系，快捷键：Ctrl+A";
    case THintControl::ButtonDelSet:
      return "删除已选中的套系";
    case THintControl::ButtonSample:
      return "查看当前模板的样品图片";
    case THintControl::ButtonResultPhoto:
      return "查看当前模板的成品图片。只有当前模板已经生成预览图或自动套版后才能查看";
    case THintControl::ImageButtonPhotoShop:
      return "将当前照片转到图像编辑器中编辑，快捷键：F4";
    case THintControl::ImageButtonZoomIn:
      return "放大当前照片，快捷键：+";
    case THintControl::ImageButtonZoomOut:
      return "缩小当前照片，快捷键：-";
    case THintControl::ImageButtonFlipH:
      return "将当前照片水平翻转，快捷键：H";
    case THintControl::ImageButtonFlipV:
      return "将当前照片垂直翻转，快捷键：V";
    case THintControl::ImageButtonRotateLeft90:
      return "将当前照片左转90度，快捷键：Ctrl+L";
    case THintControl::ImageButtonRotateRight90:
      return "将当前照片右转90度，快捷键：Ctrl+R";
    case THintControl::ImageButtonRotateLeft1:
      return "将当前照片左转1度，快捷键：L";
    case THintControl::ImageButtonRotateRight1:
      return "将当前照片右转1度，快捷键：R";
    case THintControl::ImageButtonInit:
      return "还原当前照片为初始显示状态，快捷键：Z";
    case THintControl::ButtonCancelEffect:
      return "取消自动模板中的照片特效，该特效是在制作自动模板的时候添加的";
    case THintControl::MyEditSize:
      return "修改当前模板的尺寸。该尺寸会改变模板中照片的显示范围，所以修改后请检查模板中已添加的照片是否显"
             "示正常";
  }
  return "";
}

std::string SlotHint(int slot) {
  const std::string n = std::to_string(slot + 1);
  return "选择第" + n + "张照片，快捷键：" + n;
}

int CenteredHintLeft(int barWidth, int labelWidth) {
  // C++ integer division truncates towards zero, as the window's div does.
  return (barWidth - labelWidth) / 2;
}

void THintLine::EnterSlot(int slot, bool enabled) {
  if (enabled) FText = SlotHint(slot);
}

void THintLine::LeaveSlot(bool enabled) {
  if (enabled) FText.clear();
}

// ---------------------------------------------------------------------------
// Keyboard

namespace {

bool ExactlyCtrl(const TKeyStroke& k) { return k.Ctrl && !k.Shift && !k.Alt; }
bool ExactlyShift(const TKeyStroke& k) { return k.Shift && !k.Ctrl && !k.Alt; }
bool ExactlyCtrlShift(const TKeyStroke& k) { return k.Ctrl && k.Shift && !k.Alt; }

TKeyAction Act(TKeyCommand command) { return TKeyAction{command, -1, 0, 0}; }

}  // namespace

TKeyAction MapKey(const TKeyStroke& k) {
  // Rows in table order; the first match acts.
  if (k.Code == kKeyEnter)
    return Act(ExactlyShift(k) ? TKeyCommand::BatchPreview : TKeyCommand::PreviewSingle);
  // The keypad's plus, minus and digits are not shortcuts; its other keys
  // (the arrows without Num Lock) are.
  if (k.Keypad && (k.Code == kKeyPlus || k.Code == kKeyMinus || (k.Code >= '0' && k.Code <= '9'))) return {};
  switch (k.Code) {
    case kKeyF1:
      return Act(TKeyCommand::Help);
    case kKeyF2:
      return Act(TKeyCommand::ImportTemplates);
    case kKeyF3:
      return Act(TKeyCommand::ImportPhotos);
    case kKeyF5:
      return Act(TKeyCommand::SingleResult);
    case kKeyF8:
      return Act(TKeyCommand::BatchResult);
    case kKeyF4:
      return Act(TKeyCommand::EditPhoto);
    case kKeyPlus:
      return Act(TKeyCommand::ZoomIn);
    case kKeyMinus:
      return Act(TKeyCommand::ZoomOut);
    case 'H':
      return Act(TKeyCommand::FlipH);
    case 'V':
      return Act(TKeyCommand::FlipV);
    case 'L':
      return Act(ExactlyCtrl(k) ? TKeyCommand::RotateLeft90 : TKeyCommand::RotateLeft1);
    case 'R':
      return Act(ExactlyCtrl(k) ? TKeyCommand::RotateRight90 : TKeyCommand::RotateRight1);
    case 'Z':
      return Act(TKeyCommand::ResetPhoto);
    case 'N':
      return ExactlyCtrl(k) ? Act(TKeyCommand::NewSet) : TKeyAction{};
    case 'S':
      if (ExactlyCtrl(k)) return Act(TKeyCommand::SaveSet);
      if (ExactlyCtrlShift(k)) return Act(TKeyCommand::SaveSetAs);
      return {};
    case 'A':
      return ExactlyCtrl(k) ? Act(TKeyCommand::SelectAllSets) : TKeyAction{};
    case kKeyLeft:
      return TKeyAction{TKeyCommand::Nudge, -1, -1, 0};
    case kKeyRight:
      return TKeyAction{TKeyCommand::Nudge, -1, 1, 0};
    case kKeyUp:
      return TKeyAction{TKeyCommand::Nudge, -1, 0, -1};
    case kKeyDown:
      return TKeyAction{TKeyCommand::Nudge, -1, 0, 1};
    default:
      break;
  }
  if (k.Code >= '0' && k.Code <= '9') {
    if (k.Code == '0' && ExactlyCtrl(k)) return Act(TKeyCommand::LoadSet);
    TKeyAction a = Act(TKeyCommand::SelectSlot);
    a.Slot = k.Code == '0' ? 9 : k.Code - '1';
    return a;
  }
  return {};
}

bool CommandEnabled(const TKeyAction& action, const TWindowState& state) {
  if (state.ModalOpen) return false;
  switch (action.Command) {
    case TKeyCommand::None:
      return false;
    case TKeyCommand::SelectSlot:
      return state.HasTemplate && action.Slot >= 0 &&
             action.Slot < std::min(state.SlotCount, kSlotButtonCount);
    case TKeyCommand::ZoomIn:
    case TKeyCommand::ZoomOut:
    case TKeyCommand::FlipH:
    case TKeyCommand::FlipV:
    case TKeyCommand::RotateLeft90:
    case TKeyCommand::RotateRight90:
    case TKeyCommand::RotateLeft1:
    case TKeyCommand::RotateRight1:
    case TKeyCommand::ResetPhoto:
    case TKeyCommand::Nudge:
      return state.PreviewEditing && state.HasSlot;
    case TKeyCommand::PreviewSingle:
    case TKeyCommand::BatchPreview:
    case TKeyCommand::SingleResult:
    case TKeyCommand::BatchResult:
    case TKeyCommand::EditPhoto:
      return state.ComposeAvailable;
    case TKeyCommand::Help:
    case TKeyCommand::ImportTemplates:
    case TKeyCommand::ImportPhotos:
    case TKeyCommand::NewSet:
    case TKeyCommand::SaveSet:
    case TKeyCommand::SaveSetAs:
    case TKeyCommand::LoadSet:
    case TKeyCommand::SelectAllSets:
      return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Page switches

TPageMarkers LeftPageMarkers(bool photoPageShown) { return TPageMarkers{!photoPageShown, photoPageShown}; }

TPageMarkers SamplePageMarkers(TSamplePage page) {
  return TPageMarkers{page == TSamplePage::Sample, page == TSamplePage::Result};
}

TMenuOrigin PopupMenuOrigin(int controlLeft, int controlTop, int controlHeight) {
  return TMenuOrigin{controlLeft + 2, controlTop + controlHeight - 8};
}

}  // namespace tessaro
