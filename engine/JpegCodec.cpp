#include "engine/JpegCodec.h"

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <csetjmp>
#include <cstdlib>
#include <vector>

#include "engine/ExifOrientation.h"
#include "engine/Scaler.h"
#include "platform/Exception.h"

// libjpeg reports errors through a callback that must not return. It jumps
// back to the setjmp of the function that called into libjpeg; those
// functions construct every object with a destructor before their setjmp, so
// the jump skips no destructor, and turn the failure into their result or an
// exception once libjpeg's state is destroyed.

namespace {

// Scans beyond this count mark a file built to keep the decoder busy.
constexpr int kMaxScans = 500;

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

// Messages are never printed; warnings are counted in num_warnings.
void OutputMessage(j_common_ptr) {}

void InstallErrorManager(ErrorManager& err, j_common_ptr cinfo) {
  cinfo->err = jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.output_message = OutputMessage;
  err.message[0] = '\0';
}

void LimitScans(j_common_ptr cinfo) {
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kMaxScans) {
    d->err->msg_code = JERR_NOTIMPL;
    (*d->err->error_exit)(cinfo);
  }
}

// Adobe-inverted CMYK to RGB: full ink is stored as 0.
void CmykRowToRgb(const uint8_t* cmyk, int32_t width, uint8_t* rgb) {
  for (int32_t x = 0; x < width; ++x, cmyk += 4, rgb += 3) {
    const unsigned k = cmyk[3];
    rgb[0] = static_cast<uint8_t>((cmyk[0] * k + 127) / 255);
    rgb[1] = static_cast<uint8_t>((cmyk[1] * k + 127) / 255);
    rgb[2] = static_cast<uint8_t>((cmyk[2] * k + 127) / 255);
  }
}

}  // namespace

bool DecodeJpeg(std::string_view data, TBitmap& bitmap, bool& progressive) {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  jpeg_progress_mgr progress;
  std::vector<uint8_t> cmykRow;
  int orientation = 1;
  InstallErrorManager(err, reinterpret_cast<j_common_ptr>(&cinfo));
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  progress.progress_monitor = LimitScans;
  cinfo.progress = &progress;
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(data.data()),
               static_cast<unsigned long>(data.size()));
  jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(&cinfo, TRUE);
  // Saved markers live only until the decompression finishes.
  orientation = 1;
  for (jpeg_saved_marker_ptr m = cinfo.marker_list; m != nullptr; m = m->next) {
    if (m->marker != JPEG_APP0 + 1) continue;
    orientation = ReadExifOrientation(
        std::string_view(reinterpret_cast<const char*>(m->data), m->data_length));
    if (orientation != 1) break;
  }
  if (!IsAcceptableImageSize(cinfo.image_width, cinfo.image_height)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  progressive = jpeg_has_multiple_scans(&cinfo);
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  jpeg_start_decompress(&cinfo);
  const int32_t width = static_cast<int32_t>(cinfo.output_width);
  try {
    bitmap.Resize(width, static_cast<int32_t>(cinfo.output_height));
    if (cmyk) cmykRow.resize(static_cast<size_t>(width) * 4);
  } catch (...) {
    jpeg_destroy_decompress(&cinfo);
    throw;
  }
  while (cinfo.output_scanline < cinfo.output_height) {
    uint8_t* row = bitmap.Row(static_cast<int32_t>(cinfo.output_scanline));
    JSAMPROW target = cmyk ? cmykRow.data() : row;
    if (jpeg_read_scanlines(&cinfo, &target, 1) != 1) {
      // Only a suspending source stops early; memory sources never do.
      jpeg_destroy_decompress(&cinfo);
      return false;
    }
    if (cmyk) CmykRowToRgb(cmykRow.data(), width, row);
  }
  jpeg_finish_decompress(&cinfo);
  // A truncated or damaged stream is patched up by libjpeg with a warning;
  // such a picture is not what the author made.
  const bool clean = cinfo.err->num_warnings == 0;
  jpeg_destroy_decompress(&cinfo);
  if (clean) ApplyOrientation(bitmap, orientation);
  return clean;
}

std::string EncodeJpeg(const TBitmap& bitmap, bool progressive) {
  jpeg_compress_struct cinfo;
  ErrorManager err;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  InstallErrorManager(err, reinterpret_cast<j_common_ptr>(&cinfo));
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    throw Exception(std::string("JPEG encoder: ") + err.message);
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(bitmap.Width);
  cinfo.image_height = static_cast<JDIMENSION>(bitmap.Height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    // libjpeg reads the rows only; its API is not const-correct.
    JSAMPROW row = const_cast<uint8_t*>(bitmap.Row(static_cast<int32_t>(cinfo.next_scanline)));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::string bytes;
  try {
    bytes.assign(reinterpret_cast<const char*>(buffer), size);
  } catch (...) {
    std::free(buffer);
    throw;
  }
  std::free(buffer);
  return bytes;
}
