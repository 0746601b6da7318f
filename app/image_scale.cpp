#include "app/image_scale.h"

#include <algorithm>
#include <cmath>

namespace {

// For one axis: each target cell's source range as (first index, weights...).
struct Span {
  int first = 0;
  std::vector<double> weights;
};

std::vector<Span> AxisSpans(int sourceSize, int targetSize) {
  std::vector<Span> spans(static_cast<size_t>(targetSize));
  const double scale = static_cast<double>(sourceSize) / targetSize;
  for (int t = 0; t < targetSize; ++t) {
    const double from = t * scale;
    const double to = std::min<double>((t + 1) * scale, sourceSize);
    Span& span = spans[static_cast<size_t>(t)];
    span.first = static_cast<int>(std::floor(from));
    for (int s = span.first; s < sourceSize && s < to; ++s) {
      const double cover = std::min<double>(s + 1, to) - std::max<double>(s, from);
      span.weights.push_back(cover / (to - from));
    }
    if (span.weights.empty()) {  // enlarging: the nearest source pixel
      span.first = std::min(span.first, sourceSize - 1);
      span.weights.push_back(1.0);
    }
  }
  return spans;
}

}  // namespace

std::vector<uint8_t> ScaleBgraByArea(const std::vector<uint8_t>& source, int sourceWidth, int sourceHeight,
                                     int targetWidth, int targetHeight) {
  if (sourceWidth <= 0 || sourceHeight <= 0 || targetWidth <= 0 || targetHeight <= 0 ||
      source.size() < static_cast<size_t>(sourceWidth) * sourceHeight * 4)
    return {};
  const std::vector<Span> xs = AxisSpans(sourceWidth, targetWidth);
  const std::vector<Span> ys = AxisSpans(sourceHeight, targetHeight);
  std::vector<uint8_t> out(static_cast<size_t>(targetWidth) * targetHeight * 4);
  std::vector<double> row(static_cast<size_t>(sourceWidth) * 4);
  for (int ty = 0; ty < targetHeight; ++ty) {
    // First average the covered source rows, then the covered columns of that row.
    std::fill(row.begin(), row.end(), 0.0);
    const Span& sy = ys[static_cast<size_t>(ty)];
    for (size_t k = 0; k < sy.weights.size(); ++k) {
      const uint8_t* line = &source[static_cast<size_t>(sy.first + static_cast<int>(k)) * sourceWidth * 4];
      for (size_t i = 0; i < row.size(); ++i) row[i] += line[i] * sy.weights[k];
    }
    for (int tx = 0; tx < targetWidth; ++tx) {
      const Span& sx = xs[static_cast<size_t>(tx)];
      double sum[4] = {0, 0, 0, 0};
      for (size_t k = 0; k < sx.weights.size(); ++k) {
        const double* px = &row[static_cast<size_t>(sx.first + static_cast<int>(k)) * 4];
        for (int c = 0; c < 4; ++c) sum[c] += px[c] * sx.weights[k];
      }
      uint8_t* dst = &out[(static_cast<size_t>(ty) * targetWidth + tx) * 4];
      for (int c = 0; c < 4; ++c) dst[c] = static_cast<uint8_t>(std::clamp(std::lround(sum[c]), 0L, 255L));
    }
  }
  return out;
}
