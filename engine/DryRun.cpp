#include "engine/DryRun.h"

#include "engine/ImageTagRewriter.h"
#include "engine/PageProcessor.h"
#include "storage/GlobalLib.h"
#include "storage/vlmOption.h"

TDryRunPage DryRunPage(const std::string& pagePath, std::set<std::string>& sliced) {
  TDryRunPage result;
  result.Path = pagePath;
  std::string text;
  try {
    TFileHandler page(pagePath, fmOpenRead | fmShareDenyNone);
    page.Read(text, 0);
  } catch (const EFileHandlerError& e) {
    result.ErrorNumber = e.ErrorCode;
    result.Error = e.what();
    return result;
  }
  const std::string folder = pagePath.substr(0, pagePath.rfind('/') + 1);
  auto known = [&](const std::string& path) { return sliced.count(path) > 0; };
  try {
    BuildProtectedPage(text, Options.ATag != 0,
                       [&](const std::string& tag, const std::string& link, std::string&) {
                         TImageCandidate candidate;
                         switch (JudgeImageTag(tag, folder, link, known, candidate, false)) {
                           case TTagDecision::Refused:
                             return false;
                           case TTagDecision::Reused:
                             ++result.ReusedTags;
                             return true;
                           case TTagDecision::New:
                             sliced.insert(candidate.Target.ImagePath);
                             result.NewImages.push_back(candidate.Target.ImagePath);
                             return true;
                         }
                         return false;
                       });
  } catch (const std::exception& e) {
    result.Error = e.what();
  }
  return result;
}
