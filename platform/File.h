#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// How other openers of the same file are treated while we hold it. On POSIX
// this is emulated with a non-blocking flock on the open file description:
// `Exclusive` takes an exclusive lock, `Shared` a shared one, so two openers
// that must exclude each other do, in one process or two.
enum class Sharing { Exclusive, Shared };

enum class Access { Read, Write, ReadWrite };

// One open operating-system file. Move-only; closes on destruction.
// Every call returns false (or -1) on failure and leaves errno set; the
// caller maps that to its own error.
class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens an existing file. Fails when it is missing or the lock is refused.
  bool Open(const std::string& path, Access access, Sharing sharing);
  // Opens for reading and writing, creating the file when missing. The file is
  // truncated only after the lock is held, so a file that another handler
  // holds is never emptied.
  bool Create(const std::string& path, Sharing sharing, bool truncate = true);

  bool IsOpen() const { return fd_ >= 0; }
  int Descriptor() const { return fd_; }

  // Size of the file now, or -1.
  int64_t Size() const;
  // Reads up to `count` bytes from the current position, retrying on
  // interruption and short reads; returns the bytes read (fewer only at the
  // end of the file) or -1.
  int64_t Read(char* data, int64_t count);
  // Writes all `count` bytes at `offset`; false on any failure.
  bool WriteAt(const char* data, int64_t count, int64_t offset);
  // Writes the pieces one after the other from `offset`, gathered into as
  // few calls as the system allows; false on any failure.
  bool WriteAt(const std::vector<std::string_view>& pieces, int64_t offset);
  // Appends all `count` bytes at the current position.
  bool Write(const char* data, int64_t count);
  bool Truncate(int64_t size);
  // Forces the file's data and size to the disk.
  bool Sync();
  bool Close();

 private:
  int fd_ = -1;
};

// The system's text for an error number ("No such file or directory").
std::string ErrorText(int error);

// "Cannot open file "PATH". " followed by the system's text for `error`.
std::string CannotOpenFileText(const std::string& path, int error);

// Forces the entries of a folder (new or renamed files) to the disk.
bool SyncFolder(const std::string& folder);

// Reads a whole file without any lock. False with errno set on failure.
bool ReadWholeFile(const std::string& path, std::string& data);

// Replaces a file as one step: writes a temporary file of a fresh random
// name beside it (never a name that exists), forces it to the disk, then
// renames it over `path`. A file that is there keeps its mode and owner;
// where the new file cannot be given that owner (another user's file that we
// may write), the file is rewritten in place instead. A symbolic link at
// `path` stays, and the file it leads to is replaced. False with errno set
// on failure, and the file that could not be replaced in `*failedFile`
// (`path`, or the file its link leads to); the old file is then untouched,
// except after a failed rewrite in place.
bool ReplaceFile(const std::string& path, const std::string& data,
                 std::string* failedFile = nullptr);

// True when the file exists and may not be written: it has no write
// permission at all (so even the administrator's programs treat it as
// read-only), or this process may not write it.
bool IsReadOnlyFile(const std::string& path);

// The device and inode of the file `path` leads to, links followed: the same
// for every name of one file. False when it cannot be looked at.
bool FileIdentity(const std::string& path, uint64_t& device, uint64_t& inode);
bool FileExists(const std::string& path);
// What `path` leads to, links followed, in one look at the file system.
enum class FileKind { Missing, Folder, Regular, Other };
FileKind KindOfFile(const std::string& path);
bool DirectoryExists(const std::string& path);
// Creates a folder and every missing parent. True when it exists afterwards.
bool ForceDirectories(const std::string& path);
bool DeleteFile(const std::string& path);

}  // namespace platform
