// The water surface and its reflection.
#include "shared.fx"

texture2D tMirrorTexture { filter = linear; mipfilter = none; address = clamp; };
