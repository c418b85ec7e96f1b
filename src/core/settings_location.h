#pragma once
// Where kvr.ini lives. A copy that runs where it was built, or that already has a kvr.ini beside
// it (portable use), keeps the file beside the program. An installed copy cannot count on writing
// into its own folder (/usr/bin), so it keeps the file in the user's configuration folder:
// $XDG_CONFIG_HOME/kelvoro/kvr.ini, else ~/.config/kelvoro/kvr.ini, made on the first write.
#include <string>

namespace kvr {

// CMake writes this file beside the programs it builds and never installs it.
inline constexpr char kBuildTreeMarker[] = "kvr.build-tree";

// What the choice depends on, gathered once at start-up.
struct SettingsPlaceFacts {
    std::string programFolder;  // folder of the running program, "" for the root folder
    bool iniBesideProgram = false;
    bool inBuildTree = false;   // kBuildTreeMarker beside the program
    std::string xdgConfigHome;  // $XDG_CONFIG_HOME, "" when unset
    std::string home;           // $HOME (else the account's home folder), "" when unknown
};

struct SettingsLocation {
    std::string path;           // full path of kvr.ini
    bool createFolder = false;  // its folder may be missing: make it before the first write
};

// The rule itself: no file system, no environment.
SettingsLocation settingsLocation(const SettingsPlaceFacts& facts);

// The facts of this process for a program living in programFolder.
SettingsPlaceFacts currentSettingsPlaceFacts(const std::string& programFolder);

// Makes the folder of iniPath and any missing parent (mode 0700, as the XDG base-directory rules
// ask). Throws std::system_error when a part cannot be made or is not a folder.
void createSettingsFolder(const std::string& iniPath);

}  // namespace kvr
