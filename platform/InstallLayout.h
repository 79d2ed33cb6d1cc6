#pragma once

#include <string>

namespace platform {

// Where the parts of an installation lie. A build tree, or a folder the user
// copied the programs into, holds everything in one folder. An installation
// into a prefix such as /usr spreads them the way Linux does: the programs in
// bin/, menu.so and the library it shares with vlm-shell in lib/velmora/, and
// the shipped vlm.ini, Help/ and file-manager actions in share/velmora/.
struct InstallLayout {
  std::string Programs;  // vlm, vlm-cli, vlm-shell
  std::string Library;   // menu.so
  std::string Shared;    // the shipped vlm.ini and Help/
  // True for a prefix installation. Its folders belong to the package
  // manager: the programs never write into them, whoever runs them.
  bool Spread = false;
};

// The layout around the folder of a module, without a trailing "/". It is
// spread when that folder is a prefix's bin/ or lib/velmora/, holds no
// vlm.ini of its own, and the prefix's share/velmora/ holds one; otherwise
// every part lies in `moduleFolder`.
InstallLayout InstallLayoutAround(const std::string& moduleFolder);

// The layout around the running module (the program, or menu.so).
InstallLayout CurrentInstallLayout();

}  // namespace platform
