#include <cstdio>

// Reserved program; its behaviour arrives with its own change.
int main() {
    std::fputs("tiplon: not available in this build\n", stderr);
    return 2;
}
