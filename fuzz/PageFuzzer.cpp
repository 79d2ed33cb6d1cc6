// The page processor on arbitrary page bytes, in a real run: a site with a
// few real images beside the page, a program folder for the backup set, the
// whole run from BeginProtection to EndProtection, then a restore of the
// run's set, which must give the site back byte for byte and mode for mode.
// Only the errors of the program's own family may leave ProtectPage, and the
// run may change nothing but the page, add nothing but piece files and
// delete nothing but image files.
//
// The first input byte chooses options (links, sizes, slicing mode, minimum
// size); the rest is the page.
//
// A page can name any file ("/", "..") and a run deletes the images it
// slices, so the harness shuts itself into its scratch folder with chroot,
// in a mount namespace of its own, before the first input. chroot leaves the
// working folder where it was, so libFuzzer still reaches its corpus and
// artifacts through relative paths; give it no absolute ones.

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "engine/ImageTagRewriter.h"
#include "engine/PageProcessor.h"
#include "engine/RunRestore.h"
#include "engine/vlmKernel.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Exception.h"
#include "storage/BackupSet.h"
#include "storage/Convert.h"
#include "storage/GlobalLib.h"
#include "storage/vlmOption.h"
#include "testsupport/SampleImages.h"

namespace {

namespace fs = std::filesystem;

// Inside the jail.
const char* const kSite = "/vlm-site";
const char* const kHome = "/vlm-home";

// Largest WIDTH or HEIGHT a page may ask for. Larger ones are legal but
// make every input slow (the engine's own limit is 16384); they are left to
// the unit tests of the scaler.
constexpr int32_t kLargestShownSide = 48;

struct SiteFile {
  std::string Path;
  std::string Bytes;
};

std::vector<SiteFile> SiteFiles() {
  using namespace samples;
  std::vector<SiteFile> files;
  auto pick = [](const std::vector<SampleFile>& all, const std::string& name) {
    for (const auto& f : all) {
      if (f.Name == name) return f.Bytes;
    }
    fuzz::Fail(__FILE__, __LINE__, name.c_str());
  };
  files.push_back({"a.gif", pick(ValidGifFiles(), "global.gif")});
  files.push_back({"img/b.jpg", pick(ValidJpegFiles(), "progressive.jpg")});
  files.push_back({"c.bmp", pick(ValidBmpFiles(), "pal8.bmp")});
  files.push_back({"img/d.BMP", pick(ValidBmpFiles(), "rle4.bmp")});
  files.push_back({"sub/e.gif", pick(ValidGifFiles(), "transparent.gif")});
  files.push_back({"f.jpeg", pick(ValidJpegFiles(), "grey.jpg")});
  files.push_back({"anim.gif", pick(HostileGifFiles(), "frames-2.gif")});
  files.push_back({"cut.jpg", pick(HostileJpegFiles(), "truncated-half.jpg")});
  files.push_back({"notes.txt", "<img src=a.gif>"});
  files.push_back({"nul", pick(ValidGifFiles(), "global.gif")});  // no extension: never an image
  return files;
}

struct Entry {
  unsigned Mode;
  std::string Content;
  bool operator==(const Entry&) const = default;
};

std::map<std::string, Entry> Snapshot() {
  std::map<std::string, Entry> tree;
  for (const auto& item : fs::recursive_directory_iterator(kSite)) {
    struct stat st;
    FUZZ_CHECK(::lstat(item.path().c_str(), &st) == 0);
    std::string content;
    if (S_ISREG(st.st_mode)) FUZZ_CHECK(platform::ReadWholeFile(item.path(), content));
    tree[item.path()] = {static_cast<unsigned>(st.st_mode), std::move(content)};
  }
  return tree;
}

extern "C" __attribute__((weak)) void __lsan_do_leak_check();

bool WriteProcFile(const char* path, const std::string& text) {
  int fd = ::open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  return ok;
}

// A mount namespace of this process only, so that what it mounts is seen
// nowhere else. Without root, a user namespace maps the user to its root.
bool PrivateMounts() {
  const uid_t uid = ::geteuid();
  const gid_t gid = ::getegid();
  if (::unshare(CLONE_NEWNS) != 0) {
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
    WriteProcFile("/proc/self/setgroups", "deny");
    if (!WriteProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
        !WriteProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1")) {
      return false;
    }
  }
  return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// Shuts the process into the scratch folder, with /proc inside it for the
// leak checker. Returns false when the system allows no such thing.
bool EnterJail() {
  const std::string jail = fuzz::ScratchFolder();
  static int parent =
      ::open(fs::path(jail).parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (!PrivateMounts()) return false;
  const std::string proc = jail + "/proc";
  ::mkdir(proc.c_str(), 0755);
  const bool procMounted = ::mount("/proc", proc.c_str(), nullptr, MS_BIND | MS_REC, nullptr) == 0;
  if (::chroot(jail.c_str()) != 0) return false;
  // The jail is removed from outside, through the folder that holds it, once
  // the leak check (which reads /proc) is done.
  static bool unmount = procMounted;
  std::atexit([] {
    if (__lsan_do_leak_check) __lsan_do_leak_check();
    if (unmount) ::umount2("/proc", MNT_DETACH);
    ::rmdir("/proc");
    std::error_code ignored;
    fs::remove_all(kSite, ignored);
    fs::remove_all(kHome, ignored);
    ::unlinkat(parent, fs::path(fuzz::ScratchFolder()).filename().c_str(), AT_REMOVEDIR);
  });
  return true;
}

// True when some IMG tag the page processor would judge asks for a size
// beyond kLargestShownSide.
bool AsksForLargeImages(std::string_view page) {
  bool large = false;
  auto inspect = [&](const std::string& tag, const std::string&, const TTagPlace&, std::string&) {
    for (const char* name : {"WIDTH=", "HEIGHT="}) {
      int32_t value = 0;
      if (TryStrToInt(GetAttributeValue(tag, name), value) && value > kLargestShownSide)
        large = true;
    }
    return false;
  };
  BuildProtectedPage(page, true, inspect);
  return large;
}

bool IsImageName(const std::string& path) {
  std::string ext = path.substr(std::min(path.rfind('.'), path.size()));
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return path.rfind('/') < path.rfind('.') &&
         (ext == ".gif" || ext == ".jpg" || ext == ".jpeg" || ext == ".bmp");
}

// Four lower-case letters and an image extension.
bool IsPieceName(const std::string& path) {
  const std::string name = path.substr(path.rfind('/') + 1);
  return IsImageName(path) && name.find('.') == 4 &&
         std::all_of(name.begin(), name.begin() + 4, [](char c) { return c >= 'a' && c <= 'z'; });
}

void SetOptions(uint8_t flags) {
  Options = TOptions{};
  Options.ATag = flags & 1;
  Options.WidthHeight = (flags >> 1) & 1;
  Options.SliceByPixels = (flags >> 2) & 1;
  Options.ProtectGIF = Options.ProtectJPG = Options.ProtectBMP = 1;
  Options.MinWidth = Options.MinHeight = (flags >> 3) & 7;
  Options.PieHor = 3;
  Options.PieVer = 2;
  Options.PixWidth = 5;
  Options.PixHeight = 4;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<SiteFile> site = SiteFiles();
  static const bool jailed = EnterJail();
  if (!jailed) {
    std::fprintf(stderr, "the page harness needs a mount namespace and chroot; skipped\n");
    std::exit(77);
  }
  if (size < 1) return -1;
  const std::string_view page = fuzz::Bytes(data + 1, size - 1);
  if (AsksForLargeImages(page)) return -1;

  fs::remove_all(kSite);
  fs::remove_all(kHome);
  fs::create_directories(std::string(kHome) + "/Backup");
  for (const auto& file : site) {
    fs::create_directories(fs::path(kSite + ("/" + file.Path)).parent_path());
    fuzz::WriteFileOrDie(kSite + ("/" + file.Path), file.Bytes);
  }
  const std::string pagePath = std::string(kSite) + "/sub/page.htm";
  fuzz::WriteFileOrDie(pagePath, page);
  ::chmod((std::string(kSite) + "/c.bmp").c_str(), 0600);
  const auto before = Snapshot();

  ::setenv("VLM_HOME", kHome, 1);
  SetOptions(data[0]);
  SetShowErrorHandler(
      [](int number, const std::string&) { FUZZ_CHECK(number >= 101 && number <= 104); });
  int32_t finalSize = -1;
  BeginProtection();
  try {
    ProtectPage(pagePath, finalSize);
  } catch (const Exception&) {
    // "'%s' is not a valid integer value" and the like end the run.
  }
  EndProtection();
  SetShowErrorHandler(nullptr);
  if (finalSize >= 0 && fs::file_size(pagePath) != page.size()) {
    FUZZ_CHECK(fs::file_size(pagePath) == static_cast<uintmax_t>(finalSize));
  }

  const auto after = Snapshot();
  for (const auto& [path, entry] : before) {
    auto now = after.find(path);
    if (now == after.end()) {
      FUZZ_CHECK(IsImageName(path));
    } else if (now->second != entry) {
      FUZZ_CHECK(path == pagePath);
    }
  }
  for (const auto& [path, entry] : after) {
    if (!before.count(path)) FUZZ_CHECK(IsPieceName(path));
  }

  const TBackupSet set = ReadBackupSet(std::string(kHome) + "/Backup/0");
  FUZZ_CHECK(set.Problems.empty());
  const TRestoreReport report = RestoreRun(set);
  FUZZ_CHECK(report.Ok() && report.KeptAside.empty());
  FUZZ_CHECK(Snapshot() == before);
  return 0;
}
