// metersim: a simulated meter on a pseudo-terminal.
#include <cstdio>

int main() {
    std::puts("metersim: not built yet");
    return 0;
}
