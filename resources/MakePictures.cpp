// Draws the pictures of the program's "Script" folder into the folder given on the command line;
// the build runs it so that they lie beside the program.
#include "platform/window/Application.h"
#include "resources/Resources.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    if (!platform::StartWindowSystem()) {
        std::fprintf(stderr, "%s: no window system to draw with (set QT_QPA_PLATFORM=offscreen)\n", argv[0]);
        return 1;
    }
    if (!resources::WriteScriptPictures(argv[1])) {
        std::fprintf(stderr, "%s: cannot write the pictures into %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
