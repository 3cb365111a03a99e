// What the widget benchmarks share: the offscreen platform and numeric
// arguments, clocks (wall and the GUI thread's CPU), the thumbnail list set
// up as the photo list is, and the sky every painted test photo starts from.
//
// Header-only; needs Qt Widgets.
#pragma once

#include <QColor>
#include <QLinearGradient>
#include <QPainter>
#include <QtGlobal>
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <ctime>

#include "controls/MyListbox.h"

namespace tessaro::bench {

// Runs the widgets offscreen unless the environment names a platform.
inline void UseOffscreenPlatformByDefault() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
}

// argv[index] as a number, at least `minimum`; `fallback` when not given.
inline int IntArg(int argc, char** argv, int index, int fallback, int minimum = INT_MIN) {
  return argc > index ? std::max(minimum, std::atoi(argv[index])) : fallback;
}

// Steady-clock seconds.
inline double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// CPU seconds the calling (GUI) thread has used: on a loaded machine this
// says more about the GUI thread's share than the wall clock does.
inline double ThreadCpu() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + t.tv_nsec / 1e9;
}

// The photo list's columns, check box and thumbnail geometry (the window's
// fonts and colours are left at their defaults).
inline void ConfigurePhotoList(TMyListBox& list) {
  list.SetColNum(4);
  const int lefts[] = {22, 38, 108, 125};
  for (int j = 0; j < 4; ++j) list.SetColLeft(j, lefts[j]);
  list.SetColClickable(1, true);
  list.SetColClickable(3, true);
  list.SetColSelectable(1, true);
  list.TextMaxCharLen = 10;
  list.ShowCheckBox = list.ShowThumbPic = true;
  list.ThumbLeft = list.ThumbTop = 5;
  list.ThumbWidth = 140;
  list.ThumbHeight = 120;
  list.ImageWidth = 150;
  list.ImageBorder = 10;
}

// Fills a width x height picture with a vertical sky gradient whose hues
// follow `seed`.
inline void PaintSky(QPainter& painter, int width, int height, int seed) {
  QLinearGradient sky(0, 0, 0, height);
  sky.setColorAt(0, QColor::fromHsv((seed * 37) % 360, 120, 230));
  sky.setColorAt(1, QColor::fromHsv((seed * 37 + 90) % 360, 160, 90));
  painter.fillRect(0, 0, width, height, sky);
}

}  // namespace tessaro::bench
