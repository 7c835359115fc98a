// Twiddle and bit-reversal tables, built once and kept for every shorter length.

#include <cmath>

#include "analysis/fft_steps.hpp"

void buildBitReverseTable(int nw, int* ip) {
  // Level b (entries 2^b .. 2^(b+1) - 1) holds the b-bit reversals, scaled by 2^(b+3).
  ip[2] = 0;
  ip[3] = 16;
  int m = 2;
  for (int l = nw; l > 32; l /= 4) {
    const int m2 = 2 * m;
    for (int j = m; j < m2; ++j) {
      ip[m + j] = 4 * ip[j];
      ip[m2 + j] = 4 * ip[j] + 8 * m2;
    }
    m = m2;
  }
}

void buildFftTables(int nw, int* workArea, double* w) {
  workArea[0] = nw;
  workArea[1] = 1;
  if (nw <= 2) return;
  int h = nw / 2;
  const double delta = std::atan(1.0) / h;
  const double r45 = std::cos(delta * h);
  w[0] = 1.0;
  w[1] = r45;
  if (h == 4) {
    w[2] = std::cos(delta * 2);
    w[3] = std::sin(delta * 2);
  } else if (h > 4) {
    buildBitReverseTable(nw, workArea);
    w[2] = 0.5 / std::cos(delta * 2);
    w[3] = 0.5 / std::cos(delta * 6);
    for (int j = 4; j < h; j += 4) {
      const double x = delta * j;
      w[j] = std::cos(x);
      w[j + 1] = std::sin(x);
      w[j + 2] = std::cos(3 * x);
      w[j + 3] = -std::sin(3 * x);
    }
  }
  // Each following block is the first block of a table for half the size, copied down.
  int p0 = 0;
  while (h > 2) {
    const int p1 = p0 + h;
    h /= 2;
    w[p1] = 1.0;
    w[p1 + 1] = r45;
    if (h == 4) {
      w[p1 + 2] = w[p0 + 4];
      w[p1 + 3] = w[p0 + 5];
    } else if (h > 4) {
      w[p1 + 2] = 0.5 / w[p0 + 4];
      w[p1 + 3] = 0.5 / w[p0 + 6];
      for (int j = 4; j < h; j += 4) {
        w[p1 + j] = w[p0 + 2 * j];
        w[p1 + j + 1] = w[p0 + 2 * j + 1];
        w[p1 + j + 2] = w[p0 + 2 * j + 2];
        w[p1 + j + 3] = w[p0 + 2 * j + 3];
      }
    }
    p0 = p1;
  }
}
