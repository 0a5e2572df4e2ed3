/*
 * Decompression of image and raster-pattern blocks.
 *
 * Rows of uncompressed and run-length blocks are padded to the block's
 * PadBytesMultiple; delta-row and JPEG rows are not.  Run-length data is read
 * as one PackBits stream over the block's padded rows.  The delta-row seed row
 * starts as zeros at the beginning of the image and carries over from block
 * to block; every decoded row, whatever its compression, becomes the seed.
 */
#include "xl_raster.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#include "text_util.h"

namespace pxllist {
namespace {

// Takes one finished row (row_bytes bytes at `row`) into the seed and the output.
void EmitRow(RasterState &state, const uint8_t *row, std::vector<uint8_t> *rows) {
  if (row != state.seed.data()) std::memcpy(state.seed.data(), row, state.row_bytes);
  if (rows) rows->insert(rows->end(), state.seed.begin(), state.seed.end());
}

std::string DecodeRaw(RasterState &state, const RasterBlock &block, uint32_t padded,
                      std::span<const uint8_t> data, std::vector<uint8_t> *rows) {
  const uint64_t want = uint64_t{block.block_height} * padded;
  if (data.size() != want)
    return Printf("uncompressed block holds %zu bytes, %u rows of %u padded bytes expected",
                  data.size(), block.block_height, padded);
  for (uint32_t r = 0; r < block.block_height; ++r)
    EmitRow(state, data.data() + uint64_t{r} * padded, rows);
  return {};
}

std::string DecodeRle(RasterState &state, const RasterBlock &block, uint32_t padded,
                      std::span<const uint8_t> data, std::vector<uint8_t> *rows) {
  std::vector<uint8_t> row(padded);
  uint32_t fill = 0;
  uint32_t done = 0;
  size_t i = 0;
  // Puts n bytes (a literal when `src` is set, else n copies of `value`) into
  // the padded rows; false when they would run past the block's last row.
  auto put = [&](const uint8_t *src, uint32_t n, uint8_t value) {
    while (n > 0) {
      if (done == block.block_height) return false;
      const uint32_t take = std::min(n, padded - fill);
      if (src) {
        std::memcpy(row.data() + fill, src, take);
        src += take;
      } else {
        std::memset(row.data() + fill, value, take);
      }
      fill += take;
      n -= take;
      if (fill == padded) {
        EmitRow(state, row.data(), rows);
        fill = 0;
        ++done;
      }
    }
    return true;
  };
  while (i < data.size()) {
    const int8_t control = static_cast<int8_t>(data[i]);
    const size_t at = i++;
    if (control >= 0) {
      const uint32_t n = static_cast<uint32_t>(control) + 1;
      if (data.size() - i < n)
        return Printf("run-length literal at data byte %zu runs past the block's data", at);
      if (!put(data.data() + i, n, 0))
        return Printf("run-length data at data byte %zu goes beyond the block's %u rows", at,
                      block.block_height);
      i += n;
    } else if (control != -128) {
      if (i == data.size())
        return Printf("run-length repeat at data byte %zu has no byte to repeat", at);
      if (!put(nullptr, static_cast<uint32_t>(1 - control), data[i]))
        return Printf("run-length data at data byte %zu goes beyond the block's %u rows", at,
                      block.block_height);
      ++i;
    }
  }
  if (done != block.block_height || fill != 0)
    return Printf("run-length data ends after %u of %u rows (%u bytes into the next)", done,
                  block.block_height, fill);
  return {};
}

std::string DecodeDeltaRow(RasterState &state, const RasterBlock &block,
                           std::span<const uint8_t> data, std::vector<uint8_t> *rows) {
  uint8_t *seed = state.seed.data();
  const uint32_t n = state.row_bytes;
  size_t i = 0;
  for (uint32_t r = 0; r < block.block_height; ++r) {
    if (data.size() - i < 2)
      return Printf("delta-row data ends before row %u of %u", r, block.block_height);
    const uint32_t count = block.big_endian ? (data[i] << 8 | data[i + 1])
                                            : (data[i] | data[i + 1] << 8);
    const size_t row_start = i;
    i += 2;
    if (data.size() - i < count)
      return Printf("delta-row count %u at data byte %zu runs past the block's data", count,
                    row_start);
    const size_t end = i + count;
    uint32_t pos = 0;
    while (i < end) {
      const uint8_t command = data[i++];
      const uint32_t replace = (command >> 5) + 1;
      uint64_t offset = command & 0x1F;
      if (offset == 31) {
        uint8_t more;
        do {
          if (i == end)
            return Printf("delta-row offset bytes run past the row's count in row %u", r);
          more = data[i++];
          offset += more;
        } while (more == 255);
      }
      if (end - i < replace)
        return Printf("delta-row replacement bytes run past the row's count in row %u", r);
      if (pos + offset + replace > n)
        return Printf("delta-row command writes past the end of row %u (%u bytes)", r, n);
      pos += static_cast<uint32_t>(offset);
      std::memcpy(seed + pos, data.data() + i, replace);
      pos += replace;
      i += replace;
    }
    EmitRow(state, seed, rows);
  }
  if (i != data.size())
    return Printf("delta-row data holds %zu bytes more than the block's %u rows",
                  data.size() - i, block.block_height);
  return {};
}

// libjpeg error handling: errors jump back to the decoder, warnings are counted
// (a damaged JPEG reads with warnings only).
struct JpegErr {
  jpeg_error_mgr mgr;
  jmp_buf jump;
  int warnings;
  char message[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr cinfo) {
  auto *err = reinterpret_cast<JpegErr *>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

void JpegEmitMessage(j_common_ptr cinfo, int level) {
  auto *err = reinterpret_cast<JpegErr *>(cinfo->err);
  if (level < 0 && err->warnings++ == 0) (*cinfo->err->format_message)(cinfo, err->message);
}

// Bounds the work a crafted progressive JPEG can ask for.
constexpr int kMaxJpegScans = 256;

void JpegProgress(j_common_ptr cinfo) {
  if (cinfo->is_decompressor &&
      reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans) {
    auto *err = reinterpret_cast<JpegErr *>(cinfo->err);
    std::snprintf(err->message, sizeof err->message, "more than %d scans", kMaxJpegScans);
    std::longjmp(err->jump, 1);
  }
}

// Decodes a JPEG of exactly width x height pixels of `components` components
// into `out` (packed rows).  Only trivially destructible objects live in this
// frame, so the error jump skips no destructor.
bool DecodeJpegPixels(std::span<const uint8_t> data, uint32_t width, uint32_t height,
                      uint32_t components, std::vector<uint8_t> *out, char *why,
                      size_t why_size) {
  jpeg_decompress_struct cinfo;
  JpegErr err;
  jpeg_progress_mgr progress;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegErrorExit;
  err.mgr.emit_message = JpegEmitMessage;
  err.warnings = 0;
  err.message[0] = 0;
  progress.progress_monitor = JpegProgress;
  if (setjmp(err.jump)) {
    std::snprintf(why, why_size, "JPEG data not readable: %s", err.message);
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  cinfo.progress = &progress;
  jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_read_header(&cinfo, TRUE);
  if (cinfo.image_width != width || cinfo.image_height != height ||
      static_cast<uint32_t>(cinfo.num_components) != components) {
    std::snprintf(why, why_size,
                  "JPEG of %ux%u pixels with %d components where %ux%u with %u are expected",
                  cinfo.image_width, cinfo.image_height, cinfo.num_components, width, height,
                  components);
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  cinfo.out_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_start_decompress(&cinfo);
  const size_t row_bytes = size_t{width} * components;
  out->assign(row_bytes * height, 0);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = out->data() + size_t{cinfo.output_scanline} * row_bytes;
    if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) break;
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  if (err.warnings > 0) {
    std::snprintf(why, why_size, "JPEG data damaged: %s", err.message);
    return false;
  }
  return true;
}

std::string DecodeJpeg(RasterState &state, const RasterBlock &block,
                       std::span<const uint8_t> data, std::vector<uint8_t> *rows) {
  if (state.jpeg_components == 0)
    return "JPEG compression needs 8-bit direct pixels in a grey or RGB colour space";
  std::vector<uint8_t> pixels;
  char why[JMSG_LENGTH_MAX + 96];
  if (!DecodeJpegPixels(data, state.width, block.block_height, state.jpeg_components, &pixels,
                        why, sizeof why))
    return why;
  for (uint32_t r = 0; r < block.block_height; ++r)
    EmitRow(state, pixels.data() + size_t{r} * state.row_bytes, rows);
  return {};
}

}  // namespace

std::string XL_DecodeRasterBlock(RasterState &state, const RasterBlock &block,
                                 std::span<const uint8_t> data, std::vector<uint8_t> *rows,
                                 uint64_t *budget) {
  if (block.pad_multiple == 0) return "PadBytesMultiple of 0";
  if (state.seed.size() != state.row_bytes) state.seed.assign(state.row_bytes, 0);
  const bool padded_rows = block.compress == kNoCompression || block.compress == kRleCompression;
  const uint64_t padded =
      padded_rows ? (uint64_t{state.row_bytes} + block.pad_multiple - 1) / block.pad_multiple *
                        block.pad_multiple
                  : state.row_bytes;
  const uint64_t decoded = padded * block.block_height;
  if (decoded > *budget)
    return Printf("block of %llu decoded bytes exceeds the lister's limit",
                  static_cast<unsigned long long>(decoded));
  *budget -= decoded;
  const size_t before = rows ? rows->size() : 0;
  if (rows) rows->reserve(before + uint64_t{state.row_bytes} * block.block_height);
  std::string why;
  switch (block.compress) {
    case kNoCompression: why = DecodeRaw(state, block, static_cast<uint32_t>(padded), data, rows); break;
    case kRleCompression: why = DecodeRle(state, block, static_cast<uint32_t>(padded), data, rows); break;
    case kDeltaRowCompression: why = DecodeDeltaRow(state, block, data, rows); break;
    case kJpegCompression: why = DecodeJpeg(state, block, data, rows); break;
    default: why = Printf("CompressMode %u is not known", block.compress);
  }
  if (!why.empty()) {
    if (rows) rows->resize(before);
    return why;
  }
  state.rows_done += block.block_height;
  return {};
}

}  // namespace pxllist
