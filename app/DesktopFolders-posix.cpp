#include <QDir>
#include <QStorageInfo>
#include <algorithm>
#include <set>

#include "app/DesktopFolders.h"
#include "app/FileName.h"
#include "platform/File.h"

namespace {

// File systems that live on another machine or on an optical disc; the
// chooser offers local fixed, removable and memory disks only.
bool IsNetworkOrOptical(const QByteArray& type) {
  static const std::set<QByteArray> kExcluded = {
      "nfs",         "nfs4",        "cifs",      "smb3", "smbfs",          "ncpfs",
      "afs",         "ceph",        "glusterfs", "9p",   "davfs",          "fuse.sshfs",
      "fuse.davfs2", "fuse.rclone", "iso9660",   "udf",  "fuse.gvfsd-fuse"};
  return kExcluded.count(type) > 0;
}

bool IsUserMountPlace(const std::string& path) {
  for (const char* place : {"/media/", "/run/media/", "/mnt/"}) {
    if (path.starts_with(place) && path.size() > std::string(place).size()) return true;
  }
  return false;
}

std::string WithSlash(std::string path) {
  if (!path.ends_with('/')) path += '/';
  return path;
}

}  // namespace

std::vector<TFolderRoot> DesktopFolderRoots() {
  std::vector<TFolderRoot> roots = {{"/", "File System", TFolderRoot::Kind::FileSystem}};
  std::set<std::string> seen = {"/"};
  const std::string home = WithSlash(EncodeName(QDir::homePath()));
  if (platform::DirectoryExists(home) && seen.insert(home).second) {
    roots.push_back({home, "Home", TFolderRoot::Kind::Home});
  }
  std::vector<TFolderRoot> volumes;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (!volume.isValid() || !volume.isReady()) continue;
    const std::string path = WithSlash(EncodeName(volume.rootPath()));
    if (!IsUserMountPlace(path) || IsNetworkOrOptical(volume.fileSystemType())) continue;
    if (!seen.insert(path).second) continue;
    std::string caption = EncodeName(volume.displayName());
    if (caption.empty() || caption == path) caption = path.substr(0, path.size() - 1);
    volumes.push_back({path, caption, TFolderRoot::Kind::Volume});
  }
  std::sort(volumes.begin(), volumes.end(),
            [](const TFolderRoot& a, const TFolderRoot& b) { return a.path < b.path; });
  roots.insert(roots.end(), volumes.begin(), volumes.end());
  return roots;
}

bool IsHiddenFolderName(const std::string& name) { return name.starts_with('.'); }
