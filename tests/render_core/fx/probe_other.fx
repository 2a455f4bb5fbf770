// A second effect of the pool: draws the shared constant colour, to show a
// value set through another effect arriving here.
#include "../../../fx/shared.fx"

glsl vertex ClipVS {
  void main() { gl_Position = vec4(aPosition, 1.0); }
}

glsl fragment SharedColourPS {
  void main() { fragColor = vConstColour; }
}

technique SharedColour {
  pass P0 {
    vertex = ClipVS; fragment = SharedColourPS;
    blend = off; zenable = off; zwrite = off; cull = none; colorwrite = rgba;
  }
}
