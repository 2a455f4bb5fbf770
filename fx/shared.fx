// Parameters every effect sees with one value: the pool holds them once and
// each effect that declares them reads the same storage.
// Matrices are row-vector (p' = p * M); see docs/effects.md.

shared float4x4 mWorld;
shared float4x4 mView;
shared float4x4 mProj;
shared float4x4 mBias;
shared float4x4 mViewProj;
shared float4x4 mInvView;
shared float4x4 mInvProj;
shared float4x4 mFrustum;
shared float4x4 mWorldView;
shared float4x4 mWorldViewProj;
shared float4x4 mViewProjBias;
shared float4x4 mProjBias;
shared float4x4 mShadowViewProjBias;

shared float4 vEyePos;
shared float4 vConstColour;
shared float4 vUVTransform;
shared float4 vPointLightPos;
shared float4 vPointLightColour;
shared float4 vAmbientColour;
shared float4 vRandomTaps[4];

// A depth map: filtering between depths would blend unrelated surfaces.
shared texture2D tShadowTexture { filter = point; mipfilter = none; address = clamp; };
shared texture2D tShadowJitterTexture { filter = point; mipfilter = none; address = wrap; };
