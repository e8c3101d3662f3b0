// tavlin-studio: the authoring program.

#include <cstdio>

int main() {
    std::fprintf(stderr, "tavlin-studio: the editor window is not built yet; try the command-line tool 'tavlin --help'.\n");
    return 0;
}
