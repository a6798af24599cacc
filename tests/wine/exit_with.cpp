// Exits with the code given as its argument: lets the harness's tests check
// that exit codes above 255 come through whole.
#include <cstdlib>

int main(int argc, char** argv) {
    return argc > 1 ? static_cast<int>(std::strtoul(argv[1], nullptr, 10)) : 0;
}
