#include "engine/DryRun.h"

#include "engine/ImageTagRewriter.h"
#include "engine/PageProcessor.h"
#include "storage/GlobalLib.h"
#include "platform/Path.h"

const char* DryRunActionName(TDryRunTag::Action action) {
  switch (action) {
    case TDryRunTag::Action::Slice:
      return "slice";
    case TDryRunTag::Action::Reuse:
      return "reuse";
    case TDryRunTag::Action::Leave:
      break;
  }
  return "leave";
}

TDryRunPage DryRunPage(const std::string& pagePath, const TOptions& options, TCutImages& cut) {
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
  const std::string folder = platform::FolderOf(pagePath);
  auto srcOf = [](const std::string& tag) {
    std::string src = GetAttributeValue(tag, "SRC=");
    return src == "-1" ? std::string() : src;
  };
  try {
    BuildProtectedPage(
        text, options.ATag != 0,
        [&](const std::string& tag, const std::string& link, std::string&) {
          TImageCandidate candidate;
          TDryRunTag verdict;
          verdict.Src = srcOf(tag);
          const TTagDecision decision = JudgeImageTag(tag, folder, link, options, cut, candidate, false);
          verdict.ImagePath = candidate.Target.ImagePath;
          switch (decision) {
            case TTagDecision::Refused:
              verdict.Reason = candidate.Reason;
              verdict.Detail = candidate.Detail;
              break;
            case TTagDecision::Reused:
              verdict.What = TDryRunTag::Action::Reuse;
              ++result.ReusedTags;
              break;
            case TTagDecision::New:
              verdict.What = TDryRunTag::Action::Slice;
              cut.Add(candidate.Target.ImagePath, candidate.OwnWidth, candidate.OwnHeight,
                      candidate.Width, candidate.Height);
              result.NewImages.push_back(candidate.Target.ImagePath);
              break;
          }
          result.Tags.push_back(std::move(verdict));
          return decision != TTagDecision::Refused;
        },
        [&](const std::string& tag, TLeaveReason reason) {
          TDryRunTag verdict;
          verdict.Src = srcOf(tag);
          verdict.Reason = reason;
          result.Tags.push_back(std::move(verdict));
        });
  } catch (const std::exception& e) {
    result.Error = e.what();
  }
  return result;
}
