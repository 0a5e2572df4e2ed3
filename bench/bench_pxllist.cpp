/*
 * Benchmark of the job lister: decodes a synthetic job of about 40 MB, pages
 * of state, path and text commands with small embedded point lists, and
 * images in uncompressed, run-length and delta-row blocks, as the driver
 * writes them.  Reports the bytes of job listed per second.
 */
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "pxllist/pxllist.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A small writer of PCL XL bytes, the bench's own (little-endian binding).
struct Writer {
  Bytes out;
  void Raw(std::initializer_list<int> bytes) {
    for (int b : bytes) out.push_back(static_cast<uint8_t>(b));
  }
  void Text(std::string_view s) { out.insert(out.end(), s.begin(), s.end()); }
  void U16(int v) { Raw({v & 0xFF, (v >> 8) & 0xFF}); }
  void Attr(int id) { Raw({0xF8, id}); }
  void UByte(int v, int id) { Raw({0xC0, v}); Attr(id); }
  void UInt16(int v, int id) { Raw({0xC1}); U16(v); Attr(id); }
  void UInt16XY(int x, int y, int id) { Raw({0xD1}); U16(x); U16(y); Attr(id); }
  void SInt16XY(int x, int y, int id) { Raw({0xD3}); U16(x); U16(y); Attr(id); }
  void Box(int a, int b, int c, int d, int id) { Raw({0xE3}); U16(a); U16(b); U16(c); U16(d); Attr(id); }
  void Data(const Bytes &d) {
    if (d.size() < 256) {
      Raw({0xFB, static_cast<int>(d.size())});
    } else {
      const uint32_t n = static_cast<uint32_t>(d.size());
      Raw({0xFA, static_cast<int>(n & 0xFF), static_cast<int>((n >> 8) & 0xFF),
           static_cast<int>((n >> 16) & 0xFF), static_cast<int>(n >> 24)});
    }
    out.insert(out.end(), d.begin(), d.end());
  }
};

void Image(Writer &w, int space, int width, int height, int rows_per_block, int compress, uint32_t seed) {
  const int bpp = space == 1 ? 1 : 3;
  const int row = width * bpp;
  const int padded = (row + 3) / 4 * 4;
  w.UByte(space, 3);
  w.Raw({0x6A});
  w.UByte(0, 100);
  w.UByte(2, 98);
  w.UInt16(width, 108);
  w.UInt16(height, 107);
  w.UInt16XY(width * 4, height * 4, 103);
  w.Raw({0xB0});
  Bytes prev(row, 0);
  for (int start = 0; start < height; start += rows_per_block) {
    const int n = std::min(rows_per_block, height - start);
    Bytes block;
    for (int r = 0; r < n; ++r) {
      Bytes cur(row);
      for (int i = 0; i < row; ++i) {
        seed = seed * 1103515245u + 12345u;
        cur[i] = (i / 16 + start + r) % 7 == 0 ? static_cast<uint8_t>(seed >> 24) : static_cast<uint8_t>(i / 32);
      }
      if (compress == 0) {
        block.insert(block.end(), cur.begin(), cur.end());
        block.resize(block.size() + (padded - row), 0);
      } else if (compress == 1) {
        // PackBits of the padded row: literal runs of up to 128 bytes.
        cur.resize(padded, 0);
        for (int i = 0; i < padded; i += 128) {
          const int len = std::min(128, padded - i);
          block.push_back(static_cast<uint8_t>(len - 1));
          block.insert(block.end(), cur.begin() + i, cur.begin() + i + len);
        }
      } else {
        // Delta row: replace every byte that differs, 8 at most a command.
        Bytes cmds;
        int last = 0;
        for (int i = 0; i < row;) {
          if (cur[i] == prev[i]) {
            ++i;
            continue;
          }
          int k = 0;
          while (k < 8 && i + k < row && cur[i + k] != prev[i + k]) ++k;
          int offset = i - last;
          cmds.push_back(static_cast<uint8_t>((k - 1) << 5 | std::min(offset, 31)));
          if (offset >= 31) {
            offset -= 31;
            while (offset >= 255) {
              cmds.push_back(255);
              offset -= 255;
            }
            cmds.push_back(static_cast<uint8_t>(offset));
          }
          cmds.insert(cmds.end(), cur.begin() + i, cur.begin() + i + k);
          i += k;
          last = i;
        }
        block.push_back(static_cast<uint8_t>(cmds.size() & 0xFF));
        block.push_back(static_cast<uint8_t>(cmds.size() >> 8));
        block.insert(block.end(), cmds.begin(), cmds.end());
        prev = cur;
      }
    }
    w.UInt16(start, 109);
    w.UInt16(n, 99);
    w.UByte(compress, 101);
    w.Raw({0xB1});
    w.Data(block);
  }
  w.Raw({0xB2});
}

Bytes MakeJob(int pages) {
  Writer w;
  w.Text("\x1B%-12345X@PJL COMMENT DATE=01/02/2024\n@PJL SET RESOLUTION=600\n");
  w.Text(") HP-PCL XL;2;1;QZKRL2-2.1.0,WINNT-5.1,KRL2DRV-1.1.0.0\n");
  w.UInt16XY(600, 600, 137);
  w.UByte(0, 134);
  w.UByte(0, 143);
  w.Raw({0x41});
  w.UByte(0, 136);
  w.UByte(1, 130);
  w.Raw({0x48});
  uint32_t seed = 1;
  for (int p = 0; p < pages; ++p) {
    w.UByte(0, 40);
    w.UByte(2, 37);
    w.Raw({0x43});
    for (int i = 0; i < 300; ++i) {
      w.UByte(2, 3);
      w.Raw({0x6A});
      w.Raw({0xC8, 0xC0, 0x03, i & 0xFF, p & 0xFF, 7});
      w.Attr(11);
      w.Raw({0x63});
      w.UByte(0xCC, 44);
      w.Raw({0x7B});
      w.Raw({0x85});
      w.SInt16XY(i, 2 * i, 76);
      w.Raw({0x6B});
      Bytes points(64);
      for (size_t k = 0; k < points.size(); ++k) points[k] = static_cast<uint8_t>(k * 3 + i);
      w.UInt16(32, 77);
      w.UByte(0, 80);
      w.Raw({0x9D});
      w.Data(points);
      w.Raw({0x86});
      w.Box(i, i, i + 100, i + 50, 66);
      w.Raw({0xA0});
      w.Raw({0xC9, 0xC0, 0x10});
      for (int c = 0; c < 16; ++c) w.U16(0x41 + c);
      w.Attr(171);
      w.Raw({0xA8});
    }
    Image(w, 2, 400, 200, 50, 3, seed++);
    Image(w, 1, 800, 200, 100, 1, seed++);
    Image(w, 2, 300, 100, 100, 0, seed++);
    w.Raw({0x44});
  }
  w.Raw({0x49, 0x42});
  w.Text("\x1B%-12345X@PJL EOJ\n");
  return w.out;
}

const Bytes &Job() {
  static const Bytes job = MakeJob(40);
  return job;
}

void ListJob(benchmark::State &state, bool keep) {
  const Bytes &job = Job();
  pxllist::Options options;
  options.keep_data = keep;
  options.keep_rows = keep;
  for (auto _ : state) {
    pxllist::Listing listing;
    const bool ok = pxllist::ListJob(job, options, &listing);
    if (!ok) state.SkipWithError(pxllist::FormatError(listing.error).c_str());
    benchmark::DoNotOptimize(listing.records.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * job.size()));
  state.counters["job_MB"] = static_cast<double>(job.size()) / 1e6;
}

void BM_ListJob(benchmark::State &state) { ListJob(state, true); }
void BM_ListJobWithoutCopies(benchmark::State &state) { ListJob(state, false); }

BENCHMARK(BM_ListJob)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListJobWithoutCopies)->Unit(benchmark::kMillisecond);

}  // namespace
