#pragma once
// Where the progress window and its two controls go, from the screen size
// and the screen's dots per inch. Platform-free so that it is tested
// natively; the window code feeds it GetSystemMetrics and GetDeviceCaps.
//
// At 96 dots per inch (scale 1.0) the client area is 400 x 100, the status
// text sits at (20, 16) sized 360 x 30 and the bar at (20, 46) sized 360 x 20.
// Larger scales grow every measure; no measure exceeds the screen (the text
// and bar heights not half of it) and none falls below its 96-DPI size
// unless the screen itself is smaller.

namespace zevrino::desktop::installer {

struct LayoutRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

struct ProgressLayout {
  LayoutRect client;  // the window's client area in screen coordinates, centred
  LayoutRect status;  // control 50, in client coordinates
  LayoutRect bar;     // control 51, in client coordinates
};

// base x factor rounded half away from zero; `limit` when that exceeds it,
// otherwise at least `base`.
int ScaledDimension(int base, double factor, int limit);

// x_scale and y_scale are the screen's LOGPIXELSX / 96 and LOGPIXELSY / 96
// (1.0 when they cannot be read).
ProgressLayout ComputeProgressLayout(int screen_width, int screen_height, double x_scale,
                                     double y_scale);

}  // namespace zevrino::desktop::installer
