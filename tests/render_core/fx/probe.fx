// Techniques the render-core tests draw with: copies, flat colours, additive
// passes, state changes and a mesh coloured by its normals. Quads arrive with
// their corners in clip space.
#include "../../../fx/shared.fx"

// Point sampling and clamping, so a copy reproduces texels exactly.
texture2D tSource { filter = point; mipfilter = none; address = clamp; };
float4 vColour;

varying float2 vTexCoord;
varying float3 vNormal;

// The texture coordinate comes from the clip position through mBias, as the
// program's screen-space passes compute it.
glsl vertex ClipVS {
  void main() {
    gl_Position = vec4(aPosition, 1.0);
    vTexCoord = (vec4(aPosition, 1.0) * mBias).xy;
  }
}

glsl vertex MeshVS {
  void main() {
    gl_Position = vec4(aPosition, 1.0) * mWorldViewProj;
    vNormal = aNormal;
  }
}

glsl fragment CopyPS {
  void main() { fragColor = texture(tSource, vTexCoord); }
}

glsl fragment ColourPS {
  void main() { fragColor = vColour; }
}

glsl fragment QuarterPS {
  void main() { fragColor = vec4(0.25); }
}

// Row 0 of mWorld, which shows how matrices reach the shaders.
glsl fragment WorldRowPS {
  void main() { fragColor = vec4(1.0, 0.0, 0.0, 0.0) * mWorld; }
}

glsl fragment NormalPS {
  void main() { fragColor = vec4(vNormal * 0.5 + 0.5, 1.0); }
}

technique Copy {
  pass P0 {
    vertex = ClipVS; fragment = CopyPS;
    blend = off; zenable = off; zwrite = off; cull = none; colorwrite = rgba;
  }
}

// Leaves the colour mask as the device has it.
technique Fill {
  pass P0 {
    vertex = ClipVS; fragment = ColourPS;
    blend = off; zenable = off; zwrite = off; cull = none;
  }
}

technique WorldRow {
  pass P0 {
    vertex = ClipVS; fragment = WorldRowPS;
    blend = off; zenable = off; zwrite = off; cull = none; colorwrite = rgba;
  }
}

technique AddQuarterTwice {
  pass P0 {
    vertex = ClipVS; fragment = QuarterPS;
    blend = on; srcblend = one; destblend = one; blendop = add;
    zenable = off; zwrite = off; cull = none; colorwrite = rgba;
  }
  pass P1 {
    vertex = ClipVS; fragment = QuarterPS;
    blend = on; srcblend = one; destblend = one; blendop = add;
    zenable = off; zwrite = off; cull = none; colorwrite = rgba;
  }
}

// Changes every state the pass loop must put back afterwards.
technique ChangeStates {
  pass P0 {
    vertex = ClipVS; fragment = ColourPS;
    blend = on; srcblend = srcalpha; destblend = invsrcalpha; blendop = revsubtract;
    zenable = off; zwrite = off; zfunc = greater; cull = cw; colorwrite = rg;
  }
}

// Leaves culling and depth as the device has them.
technique MeshNormals {
  pass P0 {
    vertex = MeshVS; fragment = NormalPS;
    blend = off; colorwrite = rgba;
  }
}
