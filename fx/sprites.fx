// Screen-space work: sprites, blurs, compositing and ambient occlusion.
#include "shared.fx"

texture2D tTexture { filter = linear; address = clamp; };
texture2D tTexture2 { filter = linear; address = clamp; };
texture2D tTexture3 { filter = linear; address = clamp; };
texture3D tVolume { filter = linear; address = wrap; };
texture2D tRandomPlanes { filter = point; address = wrap; };

float4 vTexelSize;
float4 vPixelSize;
float4 vZoomerCompositeBias;
float4 blurSize;
float blurThreshold;
float4 AOcontrib;
float4 vRandomSphere[30];

varying float2 vTexCoord;

// Quads arrive with their corners already in clip space.
glsl vertex SpriteVS {
  void main() {
    gl_Position = vec4(aPosition, 1.0);
    vTexCoord = aTexCoord;
  }
}

glsl fragment SpriteBlendPS {
  void main() {
    fragColor = texture(tTexture, vTexCoord) * vConstColour;
  }
}

technique SpriteBlend {
  pass P0 {
    vertex = SpriteVS;
    fragment = SpriteBlendPS;
    blend = on;
    srcblend = srcalpha;
    destblend = invsrcalpha;
    zenable = off;
    zwrite = off;
    cull = none;
  }
}
