#pragma once

#include <string>

// Where an installation keeps the files that belong beside the program:
// vlm.ini, Backup/ and files.tmp. They lie beside the programs when that
// folder is writable, as in a build tree or a folder the user installed
// into. An installation the user cannot write (one for all users) keeps them
// in the user's own folders instead: the options in the configuration folder,
// first copied from the vlm.ini shipped with the programs, the backup sets in
// the data folder and the hand-off file in the runtime folder. So does a
// package's installation, whoever runs it. VLM_HOME, when set, names one
// folder for all of them, Help/ included.
//
// Every program of an installation (vlm, vlm-cli, vlm-shell and menu.so)
// decides through GetProgramFolders, so they all find the same files.
struct TProgramFolders {
  std::string Program;  // the shipped vlm.ini and Help/ (TFolderFacts::Installation)
  std::string Options;  // holds the vlm.ini in use
  std::string Data;     // holds Backup/
  std::string HandOff;  // holds files.tmp
};

// What the choice depends on. Paths without a trailing "/".
struct TFolderFacts {
  std::string Home;          // VLM_HOME; empty when unset
  // The folder of the shipped vlm.ini and Help/: the running module's own, or
  // share/velmora/ of an installation spread over a prefix (InstallLayout.h).
  std::string Installation;
  bool InstallationWritable = false;  // never for a spread installation
  std::string ConfigHome;     // $XDG_CONFIG_HOME, else ~/.config
  std::string DataHome;       // $XDG_DATA_HOME, else ~/.local/share
  std::string RuntimeFolder;  // $XDG_RUNTIME_DIR; empty when the session has none
};

// The folders for `facts`. Without a runtime folder the hand-off file goes
// to the options folder, which is the user's own as well.
TProgramFolders ChooseProgramFolders(const TFolderFacts& facts);

// The facts of this process: its environment and the module it runs in.
TFolderFacts CurrentFolderFacts();

// ChooseProgramFolders(CurrentFolderFacts()).
TProgramFolders GetProgramFolders();

// The vlm.ini in use. When the options live apart from the programs and the
// user has none yet, its folder is made and the shipped vlm.ini copied there;
// a copy that fails is left for the reader of the path to report.
std::string GetOptionsFile();
std::string OptionsFileIn(const TProgramFolders& folders);

// The folder of the backup sets, with its trailing "/".
std::string GetBackupDir();

// The hand-off file. Its folder is made when it is missing.
std::string GetHandOffFile();
