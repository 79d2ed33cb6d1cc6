#include "engine/SavedImage.h"

#include <unordered_set>

#include "engine/TableMarkup.h"
#include "platform/Exception.h"
#include "platform/Path.h"

std::vector<std::string> TSavedImage::SourcesToDelete() const {
  std::unordered_set<std::string> seen;
  for (int32_t i = 0; i <= LastIndex_; ++i) {
    if (Kept_[i]) seen.insert(Paths_[i]);
  }
  std::vector<std::string> paths;
  for (int32_t i = 0; i <= LastIndex_; ++i) {
    if (!Paths_[i].empty() && seen.insert(Paths_[i]).second) paths.push_back(Paths_[i]);
  }
  return paths;
}

bool TSavedImage::Find(const std::string& path) {
  auto it = Index_.find(path);
  if (it == Index_.end()) return false;
  FoundIndex_ = it->second;
  return true;
}

bool TSavedImage::FindCut(const std::string& path, int32_t width, int32_t height, int32_t bleed) {
  for (int32_t i = 0; i <= LastIndex_; ++i) {
    const TImageGeometry& g = Geometries_[i];
    if (Paths_[i] == path && g.Width == width && g.Height == height && g.Bleed == bleed) {
      FoundIndex_ = i;
      return true;
    }
  }
  return false;
}

void TSavedImage::Add(const std::string& path) {
  ++LastIndex_;
  if (LastIndex_ % kGrowStep == 0) {
    size_t slots = static_cast<size_t>(LastIndex_) + kGrowStep;
    Paths_.resize(slots);
    PieceNames_.resize(slots);
    Geometries_.resize(slots);
    Kept_.resize(slots);
  }
  Paths_[LastIndex_] = path;
  Index_.emplace(path, LastIndex_);  // keeps an earlier entry of the same path
}

void TSavedImage::DropNewest() {
  if (LastIndex_ < 0) return;
  auto it = Index_.find(Paths_[LastIndex_]);
  if (it != Index_.end() && it->second == LastIndex_) Index_.erase(it);
  Paths_[LastIndex_].clear();
  PieceNames_[LastIndex_].clear();
  Geometries_[LastIndex_] = {};
  Kept_[LastIndex_] = false;
  if (FoundIndex_ == LastIndex_) FoundIndex_ = -1;
  --LastIndex_;
}

TTableSpec TImageGeometry::Spec() const {
  TTableSpec spec;
  spec.Width = Width;
  spec.Height = Height;
  spec.Rows = Rows;
  spec.Cols = Cols;
  spec.PieceWidth = PieceWidth;
  spec.PieceHeight = PieceHeight;
  spec.Opaque = Opaque;
  spec.OwnWidth = OwnWidth;
  spec.OwnHeight = OwnHeight;
  spec.Bleed = Bleed;
  return spec;
}

void TSavedImage::SetGeometry(const TImageGeometry& geometry) {
  if (LastIndex_ < 0 || geometry.Rows < 1 || geometry.Cols < 1) {
    throw Exception("Saved image: geometry without an entry or without pieces");
  }
  Geometries_[LastIndex_] = geometry;
  PieceNames_[LastIndex_].assign(
      static_cast<size_t>(geometry.Rows) * static_cast<size_t>(geometry.Cols) * 4, ' ');
  PieceOffset_ = 0;
}

void TSavedImage::AddPiece(const std::string& name) {
  if (LastIndex_ < 0 || name.size() != 4 ||
      static_cast<size_t>(PieceOffset_) + 4 > PieceNames_[LastIndex_].size()) {
    throw Exception("Saved image: piece name '" + name + "' does not fit the image's grid");
  }
  PieceNames_[LastIndex_].replace(PieceOffset_, 4, name);
  PieceOffset_ += 4;
}

const std::string& TSavedImage::GetPieceNames() const {
  static const std::string kNone;
  return LastIndex_ < 0 ? kNone : PieceNames_[LastIndex_];
}

void TSavedImage::BuildTable(const std::string& linkTag, const std::string& closeLinkText,
                             const std::string& widthHeightText, const std::string& srcDir,
                             std::string& replacement, std::string_view tagText, TMarkup markup,
                             TPageTraits page) const {
  if (FoundIndex_ < 0 || FoundIndex_ > LastIndex_) {
    throw Exception("Saved image: no entry found to build a table for");
  }
  const std::string ext = platform::ExtensionOf(Paths_[FoundIndex_]);
  TTableSpec spec = Geometries_[FoundIndex_].Spec();
  spec.LinkTag = linkTag;
  spec.SrcDir = srcDir;
  spec.ImageExt = ext;
  spec.WidthHeightText = widthHeightText;
  spec.CloseLinkText = closeLinkText;
  spec.TagText = tagText;
  spec.Markup = markup;
  spec.Page = page;
  replacement = BuildTableMarkup(spec, PieceNames_[FoundIndex_]);
}

void TSavedImage::KeepSource(int32_t index) {
  if (index < 0 || index > LastIndex_)
    throw Exception("Saved image: no entry " + std::to_string(index));
  Kept_[index] = true;
}
