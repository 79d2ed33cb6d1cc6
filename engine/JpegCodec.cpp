#include "engine/JpegCodec.h"

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <new>
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

bool DecodeJpeg(std::string_view data, TBitmap& bitmap, bool& progressive, std::string* iccProfile,
                const std::function<void(int32_t rows)>& rowsReady) {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  jpeg_progress_mgr progress;
  std::vector<uint8_t> cmykRow;
  std::vector<JSAMPROW> rows;
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
  if (iccProfile != nullptr) {
    iccProfile->clear();
    jpeg_save_markers(&cinfo, JPEG_APP0 + 2, 0xFFFF);
  }
  jpeg_read_header(&cinfo, TRUE);
  if (iccProfile != nullptr) {
    JOCTET* icc = nullptr;
    unsigned int length = 0;
    // A profile's colour space stands at bytes 16 to 19 of its header.
    if (jpeg_read_icc_profile(&cinfo, &icc, &length) && length >= 20 &&
        std::memcmp(icc + 16, "RGB ", 4) == 0) {
      try {
        iccProfile->assign(reinterpret_cast<const char*>(icc), length);
      } catch (...) {
        std::free(icc);
        jpeg_destroy_decompress(&cinfo);
        throw;
      }
    }
    std::free(icc);
  }
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
  const int32_t height = static_cast<int32_t>(cinfo.output_height);
  try {
    bitmap.Resize(width, height);
    if (cmyk) {
      cmykRow.resize(static_cast<size_t>(width) * 4);
    } else {
      // RGB rows go straight into the bitmap, as many per call as libjpeg
      // has ready.
      rows.resize(static_cast<size_t>(height));
      for (int32_t y = 0; y < height; ++y) rows[y] = bitmap.Row(y);
    }
  } catch (...) {
    jpeg_destroy_decompress(&cinfo);
    throw;
  }
  while (cinfo.output_scanline < cinfo.output_height) {
    const JDIMENSION at = cinfo.output_scanline;
    JDIMENSION got;
    if (cmyk) {
      JSAMPROW target = cmykRow.data();
      got = jpeg_read_scanlines(&cinfo, &target, 1);
      if (got == 1) CmykRowToRgb(cmykRow.data(), width, bitmap.Row(static_cast<int32_t>(at)));
    } else {
      got = jpeg_read_scanlines(&cinfo, rows.data() + at, cinfo.output_height - at);
    }
    if (got == 0) {
      // Only a suspending source stops early; memory sources never do.
      jpeg_destroy_decompress(&cinfo);
      return false;
    }
    if (rowsReady && orientation == 1) {
      try {
        rowsReady(static_cast<int32_t>(cinfo.output_scanline));
      } catch (...) {
        jpeg_destroy_decompress(&cinfo);
        throw;
      }
    }
  }
  jpeg_finish_decompress(&cinfo);
  // A truncated or damaged stream is patched up by libjpeg with a warning;
  // such a picture is not what the author made.
  const bool clean = cinfo.err->num_warnings == 0;
  jpeg_destroy_decompress(&cinfo);
  if (clean) ApplyOrientation(bitmap, orientation);
  return clean;
}

// The compressor, its error handler and a growing output buffer that
// libjpeg writes into directly; all kept from one picture to the next.
struct TJpegEncoder::State {
  jpeg_compress_struct cinfo;
  ErrorManager err;
  jpeg_destination_mgr dest;
  TPixelBytes buffer;
  size_t length = 0;
  std::vector<JSAMPROW> rows;
  // The standard Huffman tables as a fresh compressor has them. A
  // progressive picture replaces the compressor's tables with ones fitted to
  // it, and jpeg_set_defaults keeps tables that exist; they are put back
  // before every picture.
  JHUFF_TBL standardDc[2], standardAc[2];

  static State& Of(j_compress_ptr cinfo) { return *static_cast<State*>(cinfo->client_data); }

  static void InitDestination(j_compress_ptr cinfo) {
    State& s = Of(cinfo);
    if (s.buffer.empty()) Grow(cinfo, 64 * 1024);
    cinfo->dest->next_output_byte = s.buffer.data();
    cinfo->dest->free_in_buffer = s.buffer.size();
  }

  // The buffer is full: double it and go on after what is in it.
  static boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
    State& s = Of(cinfo);
    const size_t used = s.buffer.size();
    Grow(cinfo, used * 2);
    cinfo->dest->next_output_byte = s.buffer.data() + used;
    cinfo->dest->free_in_buffer = s.buffer.size() - used;
    return TRUE;
  }

  static void TermDestination(j_compress_ptr cinfo) {
    State& s = Of(cinfo);
    s.length = s.buffer.size() - cinfo->dest->free_in_buffer;
  }

  // No C++ exception may cross libjpeg's C frames; running out of memory is
  // reported the way libjpeg reports it.
  static void Grow(j_compress_ptr cinfo, size_t size) {
    try {
      Of(cinfo).buffer.resize(size);
    } catch (const std::bad_alloc&) {
      cinfo->err->msg_code = JERR_OUT_OF_MEMORY;
      (*cinfo->err->error_exit)(reinterpret_cast<j_common_ptr>(cinfo));
    }
  }
};

TJpegEncoder::TJpegEncoder() : State_(std::make_unique<State>()) {
  State& s = *State_;
  InstallErrorManager(s.err, reinterpret_cast<j_common_ptr>(&s.cinfo));
  if (setjmp(s.err.jump)) {
    jpeg_destroy_compress(&s.cinfo);
    throw std::bad_alloc();
  }
  jpeg_create_compress(&s.cinfo);
  s.cinfo.in_color_space = JCS_RGB;
  s.cinfo.input_components = 3;
  jpeg_set_defaults(&s.cinfo);
  for (int i = 0; i < 2; ++i) {
    s.standardDc[i] = *s.cinfo.dc_huff_tbl_ptrs[i];
    s.standardAc[i] = *s.cinfo.ac_huff_tbl_ptrs[i];
  }
  s.cinfo.client_data = &s;
  s.dest.init_destination = State::InitDestination;
  s.dest.empty_output_buffer = State::EmptyOutputBuffer;
  s.dest.term_destination = State::TermDestination;
  s.cinfo.dest = &s.dest;
}

TJpegEncoder::~TJpegEncoder() { jpeg_destroy_compress(&State_->cinfo); }

std::string_view TJpegEncoder::Encode(const TPixelView& pixels, bool progressive,
                                      std::string_view iccProfile) {
  State& s = *State_;
  jpeg_compress_struct& cinfo = s.cinfo;
  s.rows.resize(static_cast<size_t>(std::max(pixels.Height, 0)));
  for (int32_t y = 0; y < pixels.Height; ++y) {
    // libjpeg reads the rows only; its API is not const-correct.
    s.rows[y] = const_cast<uint8_t*>(pixels.Row(y));
  }
  s.err.message[0] = '\0';
  if (setjmp(s.err.jump)) {
    // Back to the state before jpeg_start_compress, ready for the next picture.
    jpeg_abort_compress(&cinfo);
    throw Exception(std::string("JPEG encoder: ") + s.err.message);
  }
  cinfo.image_width = static_cast<JDIMENSION>(pixels.Width);
  cinfo.image_height = static_cast<JDIMENSION>(pixels.Height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  for (int i = 0; i < 2; ++i) {
    if (cinfo.dc_huff_tbl_ptrs[i] != nullptr) *cinfo.dc_huff_tbl_ptrs[i] = s.standardDc[i];
    if (cinfo.ac_huff_tbl_ptrs[i] != nullptr) *cinfo.ac_huff_tbl_ptrs[i] = s.standardAc[i];
  }
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  if (!iccProfile.empty()) {
    jpeg_write_icc_profile(&cinfo, reinterpret_cast<const JOCTET*>(iccProfile.data()),
                           static_cast<unsigned int>(iccProfile.size()));
  }
  while (cinfo.next_scanline < cinfo.image_height) {
    jpeg_write_scanlines(&cinfo, s.rows.data() + cinfo.next_scanline,
                         cinfo.image_height - cinfo.next_scanline);
  }
  jpeg_finish_compress(&cinfo);
  return {reinterpret_cast<const char*>(s.buffer.data()), s.length};
}

std::string EncodeJpeg(const TBitmap& bitmap, bool progressive) {
  TJpegEncoder encoder;
  return std::string(encoder.Encode(ViewOf(bitmap), progressive));
}
