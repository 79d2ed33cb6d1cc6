#include "SampleCopy.h"

#include <QString>
#include <filesystem>

namespace fs = std::filesystem;

std::string SampleSiteDir() { return VLM_SAMPLE_SITE; }

SampleCopy::SampleCopy() {
  fs::copy(SampleSiteDir(), site(), fs::copy_options::recursive);
  fs::create_directories(home());
  fs::create_directories(scratch());
  fs::copy_file(VLM_PROGRAM_DIR "/vlm.ini", home() + "/vlm.ini");
}

testsupport::ProgramResult SampleCopy::Cli(const std::vector<std::string>& args) const {
  std::vector<std::string> argv = {VLM_PROGRAM_DIR "/vlm-cli"};
  argv.insert(argv.end(), args.begin(), args.end());
  return testsupport::RunProgram(argv, {"VLM_HOME=" + home()});
}

std::string ReadPage(const std::string& path) {
  std::string text = testsupport::TempDir::ReadFile(path);
  if (!text.starts_with("\xFF\xFE")) return text;
  return QString::fromUtf16(reinterpret_cast<const char16_t*>(text.data() + 2),
                            static_cast<qsizetype>(text.size() / 2 - 1))
      .toStdString();
}
