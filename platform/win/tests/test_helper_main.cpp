// The "other process" of the multi-process tests. Each command does one
// thing against the state root in KELM_STATE_ROOT and reports on stdout.
//
//   write-values HIVE PATH PREFIX COUNT   writes COUNT DWORD values
//                                         PREFIX<i> = i, one write each
//   write-forever HIVE PATH PREFIX        writes DWORD values PREFIX<i> = i
//                                         and prints i after each write
//                                         returned, until killed
//   hold-event NAME MANUAL INITIAL        creates the event, prints the
//                                         result code, then holds it until
//                                         killed
//   wait-event NAME TIMEOUT               opens the event, prints "ready",
//                                         waits and prints the wait result
//   set-event NAME                        opens and sets the event, prints
//                                         the result code
#include "win/event.h"
#include "win/registry.h"

#include <unistd.h>

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

int WriteForever(int argc, char** argv)
{
    if (argc != 5)
        return 2;
    const win::Hive hive = std::string_view(argv[2]) == "HKLM" ? win::Hive::LocalMachine : win::Hive::CurrentUser;
    win::RegKey key;
    if (win::RegKey::Create(hive, argv[3], key) != win::ERROR_SUCCESS)
        return 1;
    for (win::DWORD i = 0;; ++i) {
        if (key.SetDword(argv[4] + std::to_string(i), i) != win::ERROR_SUCCESS)
            return 1;
        std::printf("%u\n", static_cast<unsigned>(i));
        std::fflush(stdout);
    }
}

int HoldEvent(int argc, char** argv)
{
    if (argc != 5)
        return 2;
    win::Event event;
    const win::DWORD error = win::Event::Create(argv[2], std::atoi(argv[3]) != 0, std::atoi(argv[4]) != 0, event);
    std::printf("%u\n", static_cast<unsigned>(error));
    std::fflush(stdout);
    for (;;)
        ::pause();
}

int WaitEvent(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    win::Event event;
    const win::DWORD error = win::Event::Open(argv[2], event);
    if (error != win::ERROR_SUCCESS) {
        std::printf("open failed %u\n", static_cast<unsigned>(error));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    const win::DWORD result = event.Wait(static_cast<win::DWORD>(std::strtoul(argv[3], nullptr, 10)));
    std::printf("%u\n", static_cast<unsigned>(result));
    return 0;
}

int SetEvent(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    win::Event event;
    win::DWORD error = win::Event::Open(argv[2], event);
    if (error == win::ERROR_SUCCESS)
        error = event.Set();
    std::printf("%u\n", static_cast<unsigned>(error));
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
    if (command == "write-forever")
        return WriteForever(argc, argv);
    if (command == "hold-event")
        return HoldEvent(argc, argv);
    if (command == "wait-event")
        return WaitEvent(argc, argv);
    if (command == "set-event")
        return SetEvent(argc, argv);
    std::fprintf(stderr, "unknown command %s\n", argv[1]);
    return 2;
}
