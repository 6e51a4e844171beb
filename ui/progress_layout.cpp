#include "ui/progress_layout.h"

#include <algorithm>
#include <cmath>

namespace zevrino::desktop::installer {

int ScaledDimension(int base, double factor, int limit) {
  // std::lround rounds half away from zero.
  const long rounded = std::lround(static_cast<double>(base) * factor);
  if (rounded > limit) {
    return limit;
  }
  return std::max(static_cast<int>(rounded), base);
}

ProgressLayout ComputeProgressLayout(int screen_width, int screen_height, double x_scale,
                                     double y_scale) {
  const int w = screen_width;
  const int h = screen_height;
  ProgressLayout layout;
  const int client_width = ScaledDimension(400, x_scale, w);
  const int client_height = ScaledDimension(100, y_scale, h);
  const int margin = ScaledDimension(20, client_width * 0.0025, w);
  const double vertical = client_height * 0.01;
  const int text_top = ScaledDimension(16, vertical, h);
  const int text_height = ScaledDimension(30, vertical, h / 2);
  const int bar_height = ScaledDimension(20, vertical, h / 2);

  layout.client = {(w - client_width) / 2, (h - client_height) / 2, client_width, client_height};
  layout.status = {margin, text_top, client_width - 2 * margin, text_height};
  layout.bar = {margin, text_top + text_height, client_width - 2 * margin, bar_height};
  return layout;
}

}  // namespace zevrino::desktop::installer
