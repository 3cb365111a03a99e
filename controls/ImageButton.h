// TImageButton: a picture that acts as a button, with a text printed on it,
// two alternative base pictures (State2 off and on), a checked look and a
// disabled look made by recolouring pixels, and a frame while the mouse is
// over it. The slot buttons and the output-format buttons use it.
//
// The shown picture is the button's own; the base pictures are never drawn
// on. Colours of the looks are applied per pixel (see the free functions
// below, which the button uses and tests check). GUI thread only.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>
#include <string>

#include "controls/Look.h"

namespace tessaro {

// Checked look: a one-pixel frame in `color` round the whole picture, the
// picture made 24-bit (RGB32), then every pixel with x + y even is tinted:
// each channel v becomes round(((255 - trans) * v + trans * c) / 255), with c
// that channel of `color`. `trans` is clamped to 0..255.
void ApplyCheckedLook(QImage& picture, const QColor& color, int trans);
// Disabled look: the picture made 24-bit; each pixel's grey
// g = round(0.3 R + 0.59 G + 0.11 B) (halves to even) is tinted towards
// `color`: channel = round((c * trans + (255 - trans) * g) / 255).
void ApplyDisabledLook(QImage& picture, const QColor& color, int trans);
// A one-pixel frame round the whole picture.
void DrawPictureFrame(QImage& picture, const QColor& color);

class TImageButton : public QWidget {
  Q_OBJECT

 public:
  using TMouseEvent = std::function<void(TImageButton* sender, Qt::MouseButton button,
                                         Qt::KeyboardModifiers shift, int x, int y)>;
  using TNotifyEvent = std::function<void(TImageButton* sender)>;

  explicit TImageButton(QWidget* parent = nullptr);

  // Base pictures; setting copies the picture and prints the text on the
  // current one. The new base shows at the next refresh or state change.
  void SetBmpNormal(const QImage& bmp);
  void SetBmpState2Normal(const QImage& bmp);
  const QImage& BmpNormal() const { return FBmpNormal; }
  const QImage& BmpState2Normal() const { return FBmpState2Normal; }

  bool State2() const { return FState2; }
  void SetState2(bool value);
  bool Checked() const { return FChecked; }
  void SetChecked(bool value);
  // The enabled state; disabling shows the disabled look of BmpNormal.
  void SetEnabledState(bool value) { setEnabled(value); }

  TFontSpec Font;
  std::string Text;
  int TextLeft = 0;
  int TextTop = 0;
  QColor CheckedRectColor = ColorFromBgr(0);
  int TransValue = 120;
  QColor MouseOnRectColor = ColorFromBgr(0);
  QColor InvalidColor = ColorFromBgr(0);
  int InvalidTransValue = 0;
  // Size the control to its picture (on for the slot buttons).
  bool AutoSize = false;

  // The picture as shown now.
  const QImage& Picture() const { return FPicture; }

  // Events. Assigning OnMouseEnter or OnMouseLeave replaces the button's own
  // hover handling (the main window shows hints instead).
  TNotifyEvent OnClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

  // The button's own hover handlers (frame on; picture restored).
  void HoverEnter();
  void HoverLeave();

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void DrawText();
  void ShowBase();
  void ShowChecked();  // the checked look over the picture shown now
  void Refresh();
  void SetPicture(const QImage& image);

  QImage FPicture;
  QImage FBmpNormal;
  QImage FBmpState2Normal;
  bool FState2 = false;
  bool FChecked = false;
  bool FPressed = false;
};

}  // namespace tessaro
