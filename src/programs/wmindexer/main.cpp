// wmindexer: writes an indexed copy of a recording, so players can seek in a
// copy that was taken while the recording was still being written.
//
//   wmindexer -i INPUT -o OUTPUT
//
// Exit status 0 when the indexed copy is complete, 1 when it could not be
// made, 2 for a wrong command line.

#include "IndexedRemux.h"

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    std::string input;
    std::string output;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-i") == 0 && i + 1 < argc)
            input = argv[++i];
        else if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc)
            output = argv[++i];
        else
            input.clear(), output.clear(), i = argc;
    }
    if (input.empty() || output.empty()) {
        std::fputs("usage: wmindexer -i INPUT -o OUTPUT\n", stderr);
        return 2;
    }
    std::string error;
    if (!kelm::remuxWithIndex(input, output, &error)) {
        std::fprintf(stderr, "wmindexer: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
