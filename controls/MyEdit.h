// TMyEdit: a focusable control drawn like a drop-down box: a tiled
// background strip (a second strip for the pressed look), a frame, a white
// separator before the button area, a down arrow, a dotted focus rectangle
// and a caption. It takes no text input; owners react to OnMouseDown (the
// template browser opens its size menu). GUI thread only.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>
#include <string>

#include "controls/Look.h"

namespace tessaro {

class TMyEdit : public QWidget {
  Q_OBJECT

 public:
  // Width of the button area at the right edge.
  static constexpr int ButtonWidth = 18;

  using TMouseEvent =
      std::function<void(TMyEdit* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)>;

  explicit TMyEdit(QWidget* parent = nullptr);

  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& caption);
  const TFontSpec& Font() const { return FFont; }
  void SetFont(const TFontSpec& font);
  // Frame colour.
  const QColor& Color() const { return FColor; }
  void SetColor(const QColor& color);
  void SetBKBmp(const QImage& strip);
  void SetBKBmp2(const QImage& strip);
  bool ShowBKBmp2() const { return FShowBKBmp2; }
  void SetShowBKBmp2(bool value);

  // Raised after a mouse button goes down (the control has the focus then).
  TMouseEvent OnMouseDown;

  // Paints the control as it looks with or without the focus.
  void Paint(QPainter& painter, bool focused) const;
  QImage Render(bool focused) const;

  QSize sizeHint() const override { return QSize(195, 21); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  std::string FCaption;
  TFontSpec FFont;
  QColor FColor;
  QImage FBKBmp;
  QImage FBKBmp2;
  bool FShowBKBmp2 = false;
};

}  // namespace tessaro
