// The least, middle and greatest of a benchmark's timed samples.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

struct Stats {
  double min, median, max;
};

// The median of an even count is the mean of the two middle samples.
inline Stats stats_of(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  const std::size_t n = samples.size();
  const double median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
  return {samples.front(), median, samples.back()};
}
