// The "other process" of the multi-process tests. Each command does one
// thing against the state root in KELM_STATE_ROOT and reports on stdout.
//
//   write-values HIVE PATH PREFIX COUNT   writes COUNT DWORD values
//                                         PREFIX<i> = i, one write each
#include "win/registry.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

int WriteValues(int argc, char** argv)
{
    if (argc != 6)
        return 2;
    const win::Hive hive = std::string_view(argv[2]) == "HKLM" ? win::Hive::LocalMachine : win::Hive::CurrentUser;
    win::RegKey key;
    win::LONG error = win::RegKey::Create(hive, argv[3], key);
    if (error != win::ERROR_SUCCESS) {
        std::fprintf(stderr, "create failed: %d\n", static_cast<int>(error));
        return 1;
    }
    const int count = std::atoi(argv[5]);
    for (int i = 0; i < count; ++i) {
        error = key.SetDword(argv[4] + std::to_string(i), static_cast<win::DWORD>(i));
        if (error != win::ERROR_SUCCESS) {
            std::fprintf(stderr, "write %d failed: %d\n", i, static_cast<int>(error));
            return 1;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    const std::string_view command = argv[1];
    if (command == "write-values")
        return WriteValues(argc, argv);
    std::fprintf(stderr, "unknown command %s\n", argv[1]);
    return 2;
}
