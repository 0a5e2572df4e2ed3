/*
 * Decompression of the data blocks of ReadImage and ReadRastPattern: no
 * compression, run-length (PackBits), delta row and JPEG, into rows without
 * pad bytes, with the checks of row counts and lengths.
 */
#ifndef PXLLIST_XL_RASTER_H
#define PXLLIST_XL_RASTER_H

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pxllist {

// CompressMode values.
enum : uint8_t { kNoCompression = 0, kRleCompression = 1, kJpegCompression = 2,
                 kDeltaRowCompression = 3 };

// One image or raster pattern, from BeginImage or BeginRastPattern to its end.
struct RasterState {
  uint32_t width = 0;           // SourceWidth
  uint32_t height = 0;          // SourceHeight
  uint32_t row_bytes = 0;       // bytes of one row without pad
  uint32_t jpeg_components = 0; // 1 or 3 where JPEG data can describe the pixels, else 0
  uint32_t rows_done = 0;       // rows received so far
  std::vector<uint8_t> seed;    // the delta-row seed row (row_bytes bytes)
};

// One block to decode.
struct RasterBlock {
  uint8_t compress = 0;        // CompressMode
  uint32_t pad_multiple = 4;   // PadBytesMultiple
  uint32_t block_height = 0;   // rows in the block
  bool big_endian = false;     // byte order of the data source (delta-row counts)
};

// Decodes `data` as the next block of `state`.  On success appends the
// block's rows (row_bytes each, without pad) to `rows` when it is not null,
// advances rows_done and the seed row, takes the decoded bytes off `budget`,
// and returns an empty string; otherwise returns the reason and leaves the
// state as it was except for the seed row.
std::string XL_DecodeRasterBlock(RasterState &state, const RasterBlock &block,
                                 std::span<const uint8_t> data, std::vector<uint8_t> *rows,
                                 uint64_t *budget);

}  // namespace pxllist

#endif  // PXLLIST_XL_RASTER_H
