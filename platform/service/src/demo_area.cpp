// korvad-demo-area: plants harmless sample "threats" that korvad's sample
// definitions detect, plus look-alike clean things they must not detect.
//
//   korvad-demo-area [--hosts FILE] [FOLDER]
//
// Files go below FOLDER (default: the demo area of the state root, which a
// quick scan walks); registry keys go into the registry stand-in and
// cookies into the browser stand-in's cookie file of the current state
// root (KELM_STATE_ROOT). With --hosts, FILE gets a hijacking line (point
// korvad's hosts_file at it). Every file is plain text or plain bytes with
// no execute bit: nothing here runs or does anything.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "scan_settings.h"
#include "text_stores.h"
#include "win/registry.h"

namespace {

namespace fs = std::filesystem;

bool WriteFile(const fs::path& path, const std::string& content)
{
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    ::chmod(path.c_str(), 0644);
    if (!out) {
        std::fprintf(stderr, "korvad-demo-area: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

bool AppendMissingLines(const std::string& file, const std::vector<std::string>& add)
{
    std::vector<std::string> lines;
    std::string error;
    if (!korvad::ReadLines(file, lines, /*missingOk=*/true, &error)) {
        std::fprintf(stderr, "korvad-demo-area: %s\n", error.c_str());
        return false;
    }
    if (lines.empty())
        lines.push_back("# Netscape HTTP Cookie File");
    for (const std::string& line : add)
        if (std::find(lines.begin(), lines.end(), line) == lines.end())
            lines.push_back(line);
    if (!korvad::WriteLinesAtomically(file, lines, &error)) {
        std::fprintf(stderr, "korvad-demo-area: %s\n", error.c_str());
        return false;
    }
    return true;
}

bool SetString(win::Hive hive, const std::string& key, const std::string& name, const std::string& value)
{
    win::RegKey k;
    if (win::RegKey::Create(hive, key, k) != win::ERROR_SUCCESS || k.SetString(name, value) != win::ERROR_SUCCESS) {
        std::fprintf(stderr, "korvad-demo-area: cannot write the registry key %s\n", key.c_str());
        return false;
    }
    return true;
}

// The markers the definitions look for, decoded only at run time: the
// program's own bytes must not match them, or every scan of a folder that
// holds it (or of its running process) would find it.
std::string Unhex(const char* hex)
{
    std::string out;
    for (const char* p = hex; p[0] != '\0' && p[1] != '\0'; p += 2) {
        auto digit = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
        out += static_cast<char>(digit(p[0]) * 16 + digit(p[1]));
    }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string hostsFile;
    fs::path folder;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--hosts") == 0 && i + 1 < argc) {
            hostsFile = argv[++i];
        } else if (argv[i][0] == '-' || !folder.empty()) {
            std::fprintf(stderr, "usage: korvad-demo-area [--hosts FILE] [FOLDER]\n");
            return 2;
        } else {
            folder = argv[i];
        }
    }
    if (folder.empty())
        folder = korvad::DefaultDemoArea();

    bool ok = true;
    // Detected: content patterns, a file name and a file known by its hash.
    ok &= WriteFile(folder / "Downloads" / "free_toolbar_setup.txt",
                    "Setup notes. Marker: " + Unhex("4b454c4d2d44454d4f2d544f4f4c4241522d53414d504c45") +
                        " (harmless demo text)\n");
    ok &= WriteFile(folder / "AppData" / "DemoBar" / "demobar_helper.dat", "demo helper data, harmless\n");
    ok &= WriteFile(folder / "Documents" / "notes" / "keys.log",
                    Unhex("4b454c4d2d44454d4f2d4b45595045454b") + " sample log, harmless\n");
    ok &= WriteFile(folder / "Cache" / "blob.bin", "KELM demo sample: a harmless file matched by its SHA-256.\n");
    // Clean look-alikes: part of a marker, a near name, same size as the
    // hashed file with other bytes, and ordinary files.
    ok &= WriteFile(folder / "Documents" / "letter.txt", "Dear reader, nothing to see here.\n");
    ok &= WriteFile(folder / "Documents" / "partial.txt", "KELM-DEMO-TOOLBA and KELM-DEMO-KEYPEE are cut short\n");
    ok &= WriteFile(folder / "AppData" / "demobar_helper.dat.txt", "not the helper\n");
    ok &= WriteFile(folder / "Cache" / "other.bin", "KELM demo sample: a harmless file matched by its SHA-257.\n");
    ok &= WriteFile(folder / "Downloads" / "empty.txt", "");

    // Registry: a toolbar key with a subkey, a run entry; a clean key.
    ok &= SetString(win::Hive::CurrentUser, "Software\\DemoBar", "Toolbar", "enabled");
    ok &= SetString(win::Hive::CurrentUser, "Software\\DemoBar\\Settings", "HomePage", "http://search.demobar.example/");
    ok &= SetString(win::Hive::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "KeyPeekSample",
                    (folder / "AppData" / "keypeek.dat").string());
    ok &= SetString(win::Hive::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "CleanTool",
                    "/usr/bin/true");
    ok &= SetString(win::Hive::CurrentUser, "Software\\CleanApp", "Version", "1.0");

    // Cookies of the browser stand-in: three detected, one clean.
    const std::string cookieFile = korvad::DefaultCookieFile().string();
    ok &= AppendMissingLines(cookieFile, {
        ".tracker.demobar.example\tTRUE\t/\tFALSE\t2000000000\tuid\tdemo1",
        "ads.trackfarm.example\tFALSE\t/\tFALSE\t2000000000\tid\tdemo2",
        ".eu.ads.trackfarm.example\tTRUE\t/c\tFALSE\t2000000000\tseg\tdemo3",
        "www.example.org\tFALSE\t/\tFALSE\t2000000000\tlang\ten",
    });

    if (!hostsFile.empty())
        ok &= AppendMissingLines(hostsFile, {"127.0.0.1 localhost", "203.0.113.7 update.keypeek.example",
                                             "0.0.0.0 never-planted-blocked.example"});

    std::printf("planted demo files in %s, registry keys under HKCU\\Software, cookies in %s%s%s\n",
                folder.c_str(), cookieFile.c_str(), hostsFile.empty() ? "" : ", a hosts line in ",
                hostsFile.c_str());
    return ok ? 0 : 1;
}
