// clang-format off
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <jpeglib.h>
// clang-format on

#include <cstdlib>
#include <stdexcept>

#include "testsupport/SampleImages.h"

namespace samples {

namespace {

// One scan per component, coefficient band and bit: first the DC and every
// AC coefficient with `bits` low bits left out, then one refinement scan per
// bit for each of them.
std::vector<jpeg_scan_info> ManyScans(int components, int bits) {
  std::vector<jpeg_scan_info> scans;
  auto add = [&](int c, int ss, int se, int ah, int al) {
    jpeg_scan_info s{};
    s.comps_in_scan = 1;
    s.component_index[0] = c;
    s.Ss = ss;
    s.Se = se;
    s.Ah = ah;
    s.Al = al;
    scans.push_back(s);
  };
  for (int c = 0; c < components; ++c) add(c, 0, 0, 0, bits);
  for (int c = 0; c < components; ++c) {
    for (int k = 1; k < 64; ++k) add(c, k, k, 0, bits);
  }
  for (int b = bits; b > 0; --b) {
    for (int c = 0; c < components; ++c) {
      add(c, 0, 0, b, b - 1);
      for (int k = 1; k < 64; ++k) add(c, k, k, b, b - 1);
    }
  }
  return scans;
}

[[noreturn]] void Fail(j_common_ptr cinfo) {
  char message[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, message);
  throw std::runtime_error(std::string("sample JPEG: ") + message);
}

// Offset of the start-of-frame marker's height field, or npos.
size_t FrameSizeOffset(const std::string& jpeg) {
  for (size_t i = 0; i + 9 < jpeg.size(); ++i) {
    if (static_cast<uint8_t>(jpeg[i]) == 0xFF &&
        (static_cast<uint8_t>(jpeg[i + 1]) == 0xC0 || static_cast<uint8_t>(jpeg[i + 1]) == 0xC2)) {
      return i + 5;
    }
  }
  return std::string::npos;
}

std::string WithFrameSize(std::string jpeg, int w, int h) {
  size_t at = FrameSizeOffset(jpeg);
  if (at == std::string::npos) return jpeg;
  jpeg[at] = static_cast<char>(h >> 8);
  jpeg[at + 1] = static_cast<char>(h & 0xFF);
  jpeg[at + 2] = static_cast<char>(w >> 8);
  jpeg[at + 3] = static_cast<char>(w & 0xFF);
  return jpeg;
}

JpegSpec Colour(int w, int h) {
  JpegSpec s;
  s.Width = w;
  s.Height = h;
  return s;
}

}  // namespace

std::string BuildJpeg(const JpegSpec& spec) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  err.error_exit = Fail;
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  std::vector<jpeg_scan_info> scans;
  std::string result;
  try {
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(spec.Width);
    cinfo.image_height = static_cast<JDIMENSION>(spec.Height);
    cinfo.input_components = spec.Components;
    cinfo.in_color_space = spec.Components == 1   ? JCS_GRAYSCALE
                           : spec.Components == 4 ? JCS_CMYK
                                                  : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, spec.Quality, TRUE);
    cinfo.restart_in_rows = spec.RestartRows;
    cinfo.arith_code = spec.Arithmetic ? TRUE : FALSE;
    if (spec.ManyScansBits > 0) {
      scans = ManyScans(spec.Components, spec.ManyScansBits);
      cinfo.scan_info = scans.data();
      cinfo.num_scans = static_cast<int>(scans.size());
    } else if (spec.Progressive) {
      jpeg_simple_progression(&cinfo);
    }
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(spec.Width) * spec.Components);
    while (cinfo.next_scanline < cinfo.image_height) {
      const int y = static_cast<int>(cinfo.next_scanline);
      for (int x = 0; x < spec.Width; ++x) {
        for (int c = 0; c < spec.Components; ++c) {
          row[static_cast<size_t>(x) * spec.Components + c] =
              static_cast<uint8_t>(x * 23 + y * 11 + c * 80);
        }
      }
      JSAMPROW rows[1] = {row.data()};
      jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    result.assign(reinterpret_cast<const char*>(buffer), size);
  } catch (...) {
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    throw;
  }
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  return result;
}

int CountJpegScans(const std::string& jpeg) {
  int scans = 0;
  for (size_t i = 0; i + 1 < jpeg.size(); ++i) {
    if (static_cast<uint8_t>(jpeg[i]) == 0xFF && static_cast<uint8_t>(jpeg[i + 1]) == 0xDA) ++scans;
  }
  return scans;
}

std::vector<SampleFile> ValidJpegFiles() {
  std::vector<SampleFile> files;
  files.push_back({"baseline.jpg", BuildJpeg(Colour(17, 13)), true});
  JpegSpec progressive = Colour(12, 9);
  progressive.Progressive = true;
  files.push_back({"progressive.jpg", BuildJpeg(progressive), true});
  JpegSpec grey = Colour(9, 8);
  grey.Components = 1;
  files.push_back({"grey.jpg", BuildJpeg(grey), true});
  JpegSpec cmyk = Colour(8, 8);
  cmyk.Components = 4;
  files.push_back({"cmyk.jpg", BuildJpeg(cmyk), true});
  JpegSpec restart = Colour(16, 24);
  restart.RestartRows = 1;
  files.push_back({"restart-markers.jpg", BuildJpeg(restart), true});
  JpegSpec arithmetic = Colour(10, 10);
  arithmetic.Arithmetic = true;
  files.push_back({"arithmetic.jpg", BuildJpeg(arithmetic), true});
  JpegSpec manyGrey = Colour(8, 8);
  manyGrey.Components = 1;
  manyGrey.ManyScansBits = 1;
  files.push_back({"scans-128-grey.jpg", BuildJpeg(manyGrey), true});
  return files;
}

std::vector<SampleFile> HostileJpegFiles() {
  std::vector<SampleFile> files;
  const std::string valid = BuildJpeg(Colour(32, 24));
  files.push_back({"truncated-half.jpg", valid.substr(0, valid.size() / 2), false});
  files.push_back({"truncated-before-end-marker.jpg", valid.substr(0, valid.size() - 2), false});
  size_t scanStart = valid.find("\xFF\xDA");
  files.push_back({"truncated-at-scan.jpg", valid.substr(0, scanStart), false});
  files.push_back({"start-marker-only.jpg", valid.substr(0, 2), false});
  files.push_back({"empty.jpg", "", false});
  std::string corrupt = valid;
  for (size_t i = scanStart + 20; i < scanStart + 60 && i + 2 < corrupt.size(); i += 3) {
    corrupt[i] = static_cast<char>(corrupt[i] ^ 0x5A);
  }
  files.push_back({"corrupt-entropy-data.jpg", corrupt, false});
  files.push_back({"garbage-after-end.jpg", valid + std::string(100, 'x'), true});

  JpegSpec many = Colour(8, 8);
  many.ManyScansBits = 1;
  files.push_back({"scans-384.jpg", BuildJpeg(many), true});
  many.ManyScansBits = 2;
  files.push_back({"scans-576.jpg", BuildJpeg(many), false});
  JpegSpec cmyk = Colour(16, 8);
  cmyk.Components = 4;
  files.push_back({"cmyk.jpg", BuildJpeg(cmyk), true});
  JpegSpec cmykProgressive = cmyk;
  cmykProgressive.Progressive = true;
  files.push_back({"cmyk-progressive.jpg", BuildJpeg(cmykProgressive), true});

  files.push_back({"size-65500-square.jpg", WithFrameSize(valid, 65500, 65500), false});
  files.push_back({"zero-height.jpg", WithFrameSize(valid, 32, 0), false});
  files.push_back({"zero-width.jpg", WithFrameSize(valid, 0, 24), false});
  files.push_back({"size-larger-than-data.jpg", WithFrameSize(valid, 3000, 2000), false});
  return files;
}

}  // namespace samples
