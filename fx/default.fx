// Lit, textured meshes.
#include "shared.fx"

texture2D tTexture { filter = linear; mipfilter = linear; address = wrap; };
