// vantrel-textures: writes the show's textures into the directory named on the
// command line, e.g. `vantrel-textures textures`.
#include <cstdio>
#include <string>

#include "tools/textures/texture_maker.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIRECTORY\n", argc > 0 ? argv[0] : "vantrel-textures");
    return 2;
  }
  std::string error;
  if (!WriteShowTextures(argv[1], error)) {
    std::fprintf(stderr, "vantrel-textures: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
