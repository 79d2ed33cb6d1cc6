#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Exception.h"
#include "platform/File.h"

// ---------------------------------------------------------------------------
// The file handler's error family. Callers catch EFileHandlerError only.

class EFileHandlerError : public Exception {
 public:
  EFileHandlerError(int code, const std::string& message) : Exception(message), ErrorCode(code) {}
  int32_t ErrorCode;
};

class EFileCreateError : public EFileHandlerError {
 public:
  explicit EFileCreateError(const std::string& fileName);
};
class EFileOpenError : public EFileHandlerError {
 public:
  explicit EFileOpenError(const std::string& fileName);
};
class EFileReadError : public EFileHandlerError {
 public:
  explicit EFileReadError(const std::string& fileName);
};
class EFileWriteError : public EFileHandlerError {
 public:
  explicit EFileWriteError(const std::string& fileName);
};

// Open modes: one access value plus one sharing value.
enum : int32_t {
  fmOpenRead = 0x00,
  fmOpenWrite = 0x01,
  fmOpenReadWrite = 0x02,
  fmShareCompat = 0x00,
  fmShareExclusive = 0x10,
  fmShareDenyWrite = 0x20,
  fmShareDenyRead = 0x30,
  fmShareDenyNone = 0x40,
};

// One file for whole-file work: read it in one piece, or gather text in
// memory and write it in one piece. The file is open from construction to
// destruction; destruction does not flush.
class TFileHandler {
 public:
  struct CreateTag {};
  // Creates (or empties) the file, open for reading and writing, unshared.
  // Raises EFileCreateError (101).
  TFileHandler(const std::string& fileName, CreateTag);
  // Opens an existing file with `mode`. Raises EFileOpenError (102), also
  // when the file is larger than 2 GiB - 1 byte.
  TFileHandler(const std::string& fileName, int32_t mode);
  static std::unique_ptr<TFileHandler> Create(const std::string& fileName);
  static std::unique_ptr<TFileHandler> Open(const std::string& fileName, int32_t mode);
  TFileHandler(const TFileHandler&) = delete;
  TFileHandler& operator=(const TFileHandler&) = delete;

  // Reads `count` bytes (0: FileSize bytes) from the current position into
  // `text`. Raises EFileReadError (103) on a system failure and also when
  // fewer bytes than requested arrive.
  void Read(std::string& text, int32_t count = 0);
  // Adds bytes to the buffer; nothing is written.
  void Append(std::string_view text);
  // Writes the whole buffer at offset 0 in one piece when it is not empty.
  // Neither truncates nor empties the buffer. Raises EFileWriteError (104),
  // leaving the buffer as it was.
  void Flush();
  // Makes the file hold exactly `content`, written at offset 0 and cut to
  // its length; the buffer is left alone. Raises EFileWriteError (104).
  void WriteWhole(std::string_view content);
  // The same for content that is the pieces one after the other.
  void WriteWhole(const std::vector<std::string_view>& pieces);
  // Forces what was written to the disk. Raises EFileWriteError (104).
  void Sync();

  const std::string& FileName() const { return FileName_; }
  int32_t FileSize() const { return FileSize_; }
  int32_t BufferLength() const { return static_cast<int32_t>(Buffer_.size()); }
  const std::string& Buffer() const { return Buffer_; }

 private:
  std::string FileName_;
  platform::File Handle_;
  int32_t FileSize_ = 0;
  std::string Buffer_;
};

// Size of an existing file, opened with fmShareDenyNone. Raises
// EFileOpenError (102).
int32_t FileSizeOf(const std::string& fileName);

// A path for a message: line breaks shown as \n and \r, so that the message
// names it on one line.
std::string PrintablePath(std::string_view path);

// ---------------------------------------------------------------------------
// Text routines of the engine. Positions count from 1; 0 means "not found".

// First `ch` in `text` at or after `start`.
int PosCharFrom(std::string_view text, char ch, int start);
// First `pattern` at or after `start`, comparing the text upper-cased (ASCII)
// with the pattern as given; the pattern is therefore given in upper case.
int PosTextFrom(std::string_view text, std::string_view pattern, int start);
// `dest` = the `count` characters of `src` from `start`; the range must lie in `src`.
void CopyInto(std::string_view src, int start, int count, std::string& dest);
// Appends the `count` characters of `src` from `start` to `dest`.
void AppendFrom(std::string_view src, int start, int count, std::string& dest);

// ---------------------------------------------------------------------------
// Texts the program keeps scrambled, so they never stand in the binary as
// they are. Make one with `constexpr ScrambledText kName("...")`; the plain
// literal is only seen by the compiler.

inline constexpr std::array<uint8_t, 4> kScrambleKey = {0x5A, 0xC3, 0x1E, 0x97};

template <size_t N>
struct ScrambledText {
  std::array<char, N - 1> bytes{};
  consteval ScrambledText(const char (&plain)[N]) {
    for (size_t i = 0; i + 1 < N; ++i) {
      bytes[i] = static_cast<char>(static_cast<uint8_t>(plain[i]) ^ kScrambleKey[i % 4]);
    }
  }
  std::string_view stored() const { return {bytes.data(), bytes.size()}; }
};

// `result` = `stored` with byte i combined by exclusive-or with key byte i mod 4.
void DescrambleText(std::string_view stored, std::string& result);

template <size_t N>
std::string Descrambled(const ScrambledText<N>& text) {
  std::string result;
  DescrambleText(text.stored(), result);
  return result;
}

// ---------------------------------------------------------------------------
// Showing a caught failure to the user: "Error #N" with its message. The
// handler is replaceable: the windowed program shows its error window, the
// command line prints, tests record. By default it writes
// "Error #N: message" to standard error.

using TShowErrorHandler = std::function<void(int number, const std::string& message)>;

void ShowError(int number, const std::string& message);
// Installs `handler` (an empty one restores the default); returns the old one.
TShowErrorHandler SetShowErrorHandler(TShowErrorHandler handler);
