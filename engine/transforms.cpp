// The shared transform parameters: the last matrices given, their products
// and inverses, set on the shared effect so the pool hands them to every
// effect.
#include "engine/engine.h"

#include <cmath>

Effect* SharedEffect = nullptr;
Matrix IdentityMatrix;
Matrix CurrentWorld, CurrentView, CurrentProj, CurrentBias;  // CurrentBias: all zeros until the first bias
Matrix CurrentViewProj, CurrentInvView, CurrentInvProj, CurrentFrustum;
Matrix CurrentWorldView, CurrentWorldViewProj, CurrentViewProjBias, CurrentProjBias;
Vec4 CurrentEyePos;

namespace {

// The view ray through a normalised screen position (X, Y) at view depth 1
// is (X fx, Y fy, 1): (1, 1, 0, 1) through the inverse projection gives fx, fy.
void BuildFrustum() {
  const Matrix& inverse = CurrentInvProj;
  const float fx = inverse.m[0][0] + inverse.m[1][0] + inverse.m[3][0];
  const float fy = inverse.m[0][1] + inverse.m[1][1] + inverse.m[3][1];
  MatrixScaling(&CurrentFrustum, fx, fy, 0);
  CurrentFrustum.m[3][2] = 1;
}

}  // namespace

void SetTransforms(const Matrix* world, const Matrix* view, const Matrix* proj, const Matrix* bias) {
  Effect* shared = *LookupEffect(SharedEffectPath);
  if (!shared) return;  // the start-up check refuses to run without it
  // A given matrix is set on the effect, then kept.
  const auto store = [shared](const char* name, const Matrix* given, Matrix* current) {
    if (!given) return;
    shared->SetMatrix(name, given);
    *current = *given;
  };
  store("mWorld", world, &CurrentWorld);
  store("mView", view, &CurrentView);
  store("mProj", proj, &CurrentProj);
  store("mBias", bias, &CurrentBias);
  if (view || proj) {
    MatrixMultiply(&CurrentViewProj, &CurrentView, &CurrentProj);
    shared->SetMatrix("mViewProj", &CurrentViewProj);
    MatrixInverse(&CurrentInvView, nullptr, &CurrentView);
    shared->SetMatrix("mInvView", &CurrentInvView);
    CurrentEyePos = Vec4{CurrentInvView.m[3][0], CurrentInvView.m[3][1], CurrentInvView.m[3][2], 1};
    shared->SetVector("vEyePos", &CurrentEyePos);
    MatrixInverse(&CurrentInvProj, nullptr, &CurrentProj);
    shared->SetMatrix("mInvProj", &CurrentInvProj);
    BuildFrustum();
    shared->SetMatrix("mFrustum", &CurrentFrustum);
  }
  if (world || view) {
    MatrixMultiply(&CurrentWorldView, &CurrentWorld, &CurrentView);
    shared->SetMatrix("mWorldView", &CurrentWorldView);
  }
  if (world || view || proj) {
    MatrixMultiply(&CurrentWorldViewProj, &CurrentWorld, &CurrentViewProj);
    shared->SetMatrix("mWorldViewProj", &CurrentWorldViewProj);
  }
  if (view || proj || bias) {
    MatrixMultiply(&CurrentViewProjBias, &CurrentViewProj, &CurrentBias);
    MatrixMultiply(&CurrentProjBias, &CurrentProj, &CurrentBias);
    shared->SetMatrix("mViewProjBias", &CurrentViewProjBias);
    shared->SetMatrix("mProjBias", &CurrentProjBias);
  }
}

void ResetTransforms() {
  for (Matrix* matrix : {&CurrentWorld, &CurrentView, &CurrentProj, &CurrentViewProj, &CurrentInvView, &CurrentInvProj,
                         &CurrentFrustum, &CurrentWorldView, &CurrentWorldViewProj, &CurrentViewProjBias,
                         &CurrentProjBias})
    MatrixIdentity(matrix);
}

void BuildCamera(float dolly, Matrix* view, Matrix* proj) {
  const Vec3 eye{0, 0, -5 * dolly}, target{0, 1, 0}, up{0, 1, 0};
  MatrixLookAtLH(view, &eye, &target, &up);
  const float aspect = static_cast<float>(BackBufferSize.width) / static_cast<float>(BackBufferSize.height);
  MatrixPerspectiveFovLH(proj, 1.0471976f, aspect, 0.1f, 1000.0f);
}
