// Where the scanner looks and what it reads: folders of the quick and full
// scans, the hosts and cookie files, the size bound of file reads and the
// definitions file. Read once at start from korvad.conf (the config folder
// of the state root, or --config), then the KORVAD_* environment variables,
// then the command line, each overriding the one before.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace korvad {

struct ScanSettings {
    std::string definitionsPath;
    bool definitionsChosen = false;  // named by the config, environment or command line
    std::vector<std::string> quickFolders;
    std::vector<std::string> fullFolders;
    std::string hostsFile = "/etc/hosts";
    bool hostsFileWritable = false;  // korvad edits the hosts file only when it was chosen explicitly
    std::string cookieFile;
    std::uint64_t maxFileBytes = 32u << 20;  // files are read (and hashed) up to this many bytes
    std::string procRoot = "/proc";
    // A pause after every element examined, to watch a demo scan (or pause
    // one in a test); 0 in normal use.
    std::uint32_t throttleMicros = 0;
};

// The folder `korvad-demo-area` plants into by default: "demo-area" beside
// the service folder of the state root.
std::filesystem::path DefaultDemoArea();
// The cookie store of the browser stand-in, which keeps no cookies of its
// own on disk: a cookies.txt (Netscape layout) in the config folder.
std::filesystem::path DefaultCookieFile();

// Reads the settings; PROGRAM_DIR is where the sample definitions are
// installed. ERROR gets a line for a bad config file (the file is then
// ignored; the defaults stand).
ScanSettings LoadScanSettings(const std::string& configPath, const std::string& programDir, std::string* error);

// Splits a ":"-separated folder list; empty parts are dropped.
std::vector<std::string> SplitFolderList(const std::string& text);

}  // namespace korvad
