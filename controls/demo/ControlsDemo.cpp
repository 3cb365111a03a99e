// Shows the custom controls in their main-window configurations and saves a
// picture of them: controls_demo OUTPUT.png PHOTO...
// Runs on any Qt platform (offscreen or a virtual X server).
#include <QApplication>
#include <QEnterEvent>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QWidget>
#include <string>
#include <vector>

#include "controls/ImageButton.h"
#include "controls/MainLists.h"
#include "controls/MyEdit.h"
#include "controls/MyListbox.h"
#include "controls/Skin.h"

using namespace tessaro;

namespace {

const QColor kPanel(0x1b, 0x1f, 0x25);

QLabel* Caption(QWidget* parent, const QString& text, int x, int y) {
  auto* label = new QLabel(text, parent);
  QFont font = ListFont(9);
  font.setBold(true);
  label->setFont(font);
  label->setStyleSheet("color: #8d97a5;");
  label->move(x, y);
  return label;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Dark scroll bars to match the skin (the main window styles its own).
  app.setStyleSheet(
      "QScrollBar:vertical { background: #111418; width: 12px; margin: 0; }"
      "QScrollBar::handle:vertical { background: #3d4550; border-radius: 4px; min-height: 24px; margin: 2px; "
      "}"
      "QScrollBar::handle:vertical:hover { background: #1aecec; }"
      "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
      "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }");
  if (argc < 2) {
    fprintf(stderr, "usage: controls_demo OUTPUT.png PHOTO...\n");
    return 2;
  }
  QWidget window;
  window.resize(760, 636);
  QPalette palette = window.palette();
  palette.setColor(QPalette::Window, kPanel);
  window.setPalette(palette);
  window.setAutoFillBackground(true);

  auto* banner = new QLabel(&window);
  banner->setPixmap(QPixmap::fromImage(SkinImage("banner", QSize(1000, 64))));
  banner->setGeometry(0, 0, 760, 64);

  // The photo list.
  Caption(&window, QString::fromUtf8("照片"), 14, 74);
  auto* photos = new TMyListBox(&window);
  ConfigureMainList(*photos, TMainListKind::Thumbnails, 10, 108);
  photos->setGeometry(12, 94, 176, 530);
  std::vector<std::string> files;
  for (int i = 2; i < argc; ++i) files.push_back(argv[i]);
  photos->PrefetchThumbnails(files);
  int n = 0;
  for (const std::string& f : files) {
    std::string name = QFileInfo(QString::fromStdString(f)).fileName().toStdString();
    if (photos->AddRow({std::to_string(n + 1), name, std::to_string(n % 3), "删除"}, f, nullptr, n % 2 == 0))
      ++n;
  }
  photos->SetSelected(1, true);

  // The template list, same look, different column.
  Caption(&window, QString::fromUtf8("模板"), 200, 74);
  auto* temps = new TMyListBox(&window);
  ConfigureMainList(*temps, TMainListKind::Thumbnails, 10, 98);
  temps->TextMaxCharLen = 9;
  temps->setGeometry(198, 94, 176, 530);
  const char* templateNames[] = {"浪漫婚纱01", "儿童乐园跨页", "青春纪念册", "经典写真"};
  for (int i = 0; i < int(files.size()) && i < 4; ++i)
    temps->AddRow({std::to_string(i + 1), templateNames[i], std::to_string(i) + "/4", "删除"},
                  files[files.size() - 1 - i], nullptr, i != 1);
  // Show the hover frame on one row.
  if (temps->Count() > 0) {
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(temps->GetRow(0)->Picture, &enter);
  }

  // The set list: check boxes only.
  Caption(&window, QString::fromUtf8("套系"), 388, 74);
  auto* sets = new TMyListBox(&window);
  ConfigureMainList(*sets, TMainListKind::Sets, 18);
  sets->setGeometry(386, 94, 190, 150);
  const char* setNames[] = {"张先生 王女士", "李家宝宝百天", "2024 毕业季", "未命名套系"};
  for (int i = 0; i < 4; ++i) sets->AddRow({setNames[i], "删除"}, "", nullptr, i < 2);
  sets->SetSelected(0, true);

  // Slot buttons 1-10: a template of seven slots, slot 3 selected.
  Caption(&window, QString::fromUtf8("照片位"), 590, 74);
  for (int i = 0; i < 10; ++i) {
    auto* button = new TImageButton(&window);
    bool opaque = i % 3 != 2;
    button->AutoSize = true;
    button->Text = std::to_string(i + 1);
    button->TextTop = 7;
    button->TextLeft = i == 9 ? 9 : 12;
    QFont arial("Liberation Sans", 10, QFont::Bold);
    arial.setFamilies({"Arial", "Liberation Sans", "DejaVu Sans"});
    button->Font = TFontSpec{arial, Qt::white};
    button->MouseOnRectColor = ColorFromBgr(0xFFFFFF);
    button->CheckedRectColor = ColorFromBgr(0xC0C0C0);
    button->TransValue = 120;
    button->SetBmpNormal(SkinImage(opaque ? "slot_opaque_empty" : "slot_transparent_empty"));
    button->SetBmpState2Normal(SkinImage(opaque ? "slot_opaque_photo" : "slot_transparent_photo"));
    button->setEnabled(false);
    button->move(590 + (i % 4) * 40, 94 + (i / 4) * 36);
    if (i < 7) {
      button->setEnabled(true);
      button->SetState2(i < 5);
      button->SetChecked(i == 2);
    }
    button->setCursor(Qt::PointingHandCursor);
  }

  // Output format buttons.
  Caption(&window, QString::fromUtf8("输出格式"), 590, 206);
  for (int i = 0; i < 2; ++i) {
    auto* button = new TImageButton(&window);
    button->AutoSize = true;
    const char* fmt = i == 0 ? "jpg" : "psd";
    button->SetBmpNormal(SkinImage(QString("format_%1_off").arg(fmt)));
    button->SetBmpState2Normal(SkinImage(QString("format_%1_on").arg(fmt)));
    button->setEnabled(false);
    button->setEnabled(true);
    button->SetState2(i == 0);
    button->move(590 + i * 50, 226);
  }

  // The size field of the template browser.
  Caption(&window, QString::fromUtf8("尺寸"), 388, 256);
  auto sizeField = [&window](int top, const std::string& caption) {
    auto* field = new TMyEdit(&window);
    field->setGeometry(386, top, 195, 21);
    field->SetColor(ColorFromBgr(0x808080));
    field->SetBKBmp(SkinImage("edit_strip"));
    field->SetBKBmp2(SkinImage("edit_strip_pressed"));
    field->SetFont(TFontSpec{ListFont(9), Qt::black});
    field->SetCaption(caption);
    return field;
  };
  sizeField(276, "10寸 (254 x 203 毫米)");
  sizeField(306, "12寸跨页 (610 x 305 毫米)")->SetShowBKBmp2(true);

  // Push buttons in their four states, with the marker and cursor.
  Caption(&window, QString::fromUtf8("按钮"), 388, 344);
  const char* states[] = {"button_normal", "button_hover", "button_pressed", "button_disabled"};
  const char* words[] = {"生成预览", "生成结果", "保存套系", "批量输出"};
  for (int i = 0; i < 4; ++i) {
    QImage face = SkinImage(states[i]);
    QPainter painter(&face);
    QFont font = ListFont(9);
    painter.setFont(font);
    painter.setPen(i == 3 ? QColor(0x70, 0x76, 0x7e) : QColor(0xf2, 0xf4, 0xf7));
    painter.drawText(face.rect(), Qt::AlignCenter, QString::fromUtf8(words[i]));
    painter.end();
    auto* label = new QLabel(&window);
    label->setPixmap(QPixmap::fromImage(face));
    label->move(386 + (i % 2) * 104, 364 + (i / 2) * 36);
  }
  auto* marker = new QLabel(&window);
  marker->setPixmap(QPixmap::fromImage(SkinImage("marker")));
  marker->move(590, 290);
  auto* cursor = new QLabel(&window);
  cursor->setPixmap(QPixmap::fromImage(SkinImage("cursor_rotate")));
  cursor->move(614, 282);

  // The splash picture, scaled down beside the buttons.
  auto* splash = new QLabel(&window);
  splash->setPixmap(QPixmap::fromImage(SkinImage("splash", QSize(288, 180))));
  splash->setGeometry(386, 444, 288, 180);

  window.show();
  app.processEvents();
  QPixmap shot = window.grab();
  return shot.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
