#include "kreg.h"

#include <iostream>
#include <unistd.h>

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    // Confirmation questions are only asked of a person at a terminal.
    std::istream* in = ::isatty(STDIN_FILENO) ? &std::cin : nullptr;
    return kreg::Run(args, std::cout, std::cerr, in);
}
