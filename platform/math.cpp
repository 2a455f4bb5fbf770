#include "platform/math.h"

#include <cmath>

static_assert(sizeof(Matrix) == 16 * sizeof(float), "shaders take Matrix as 16 packed floats");
static_assert(sizeof(Vec3) == 3 * sizeof(float), "vertex layouts embed Vec3 as 3 packed floats");

namespace {

float Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Vec3 Cross(const Vec3& a, const Vec3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// A zero vector stays zero rather than turning into NaNs.
Vec3 Normalize(const Vec3& v) {
  const float length = std::sqrt(Dot(v, v));
  if (length == 0.0f) return {};
  return {v.x / length, v.y / length, v.z / length};
}

Vec3 Subtract(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

// Row vector (x, y, z, w) times m.
Vec4 TransformRow(const Vec4& v, const Matrix& m) {
  Vec4 r;
  r.x = v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0] + v.w * m.m[3][0];
  r.y = v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1] + v.w * m.m[3][1];
  r.z = v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2] + v.w * m.m[3][2];
  r.w = v.x * m.m[0][3] + v.y * m.m[1][3] + v.z * m.m[2][3] + v.w * m.m[3][3];
  return r;
}

}  // namespace

Matrix* MatrixIdentity(Matrix* out) {
  Matrix identity;
  for (int i = 0; i < 4; ++i) identity.m[i][i] = 1.0f;
  *out = identity;
  return out;
}

Matrix* MatrixMultiply(Matrix* out, const Matrix* a, const Matrix* b) {
  Matrix product;
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += a->m[row][k] * b->m[k][column];
      product.m[row][column] = sum;
    }
  }
  *out = product;
  return out;
}

Matrix* MatrixInverse(Matrix* out, float* determinant, const Matrix* m) {
  // Cofactors from the 2x2 minors of the top and bottom row pairs, in double
  // so the result keeps full float precision even for poorly scaled inputs.
  double e[4][4];
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) e[row][column] = m->m[row][column];
  }
  // Top minors: rows 0 and 1; bottom minors: rows 2 and 3. Index by column pair.
  const double top01 = e[0][0] * e[1][1] - e[0][1] * e[1][0];
  const double top02 = e[0][0] * e[1][2] - e[0][2] * e[1][0];
  const double top03 = e[0][0] * e[1][3] - e[0][3] * e[1][0];
  const double top12 = e[0][1] * e[1][2] - e[0][2] * e[1][1];
  const double top13 = e[0][1] * e[1][3] - e[0][3] * e[1][1];
  const double top23 = e[0][2] * e[1][3] - e[0][3] * e[1][2];
  const double bottom01 = e[2][0] * e[3][1] - e[2][1] * e[3][0];
  const double bottom02 = e[2][0] * e[3][2] - e[2][2] * e[3][0];
  const double bottom03 = e[2][0] * e[3][3] - e[2][3] * e[3][0];
  const double bottom12 = e[2][1] * e[3][2] - e[2][2] * e[3][1];
  const double bottom13 = e[2][1] * e[3][3] - e[2][3] * e[3][1];
  const double bottom23 = e[2][2] * e[3][3] - e[2][3] * e[3][2];

  const double det = top01 * bottom23 - top02 * bottom13 + top03 * bottom12 + top12 * bottom03 -
                     top13 * bottom02 + top23 * bottom01;
  if (determinant) *determinant = static_cast<float>(det);
  if (det == 0.0) return nullptr;

  // Adjugate (transposed cofactor matrix).
  double adjugate[4][4];
  adjugate[0][0] = e[1][1] * bottom23 - e[1][2] * bottom13 + e[1][3] * bottom12;
  adjugate[0][1] = -e[0][1] * bottom23 + e[0][2] * bottom13 - e[0][3] * bottom12;
  adjugate[0][2] = e[3][1] * top23 - e[3][2] * top13 + e[3][3] * top12;
  adjugate[0][3] = -e[2][1] * top23 + e[2][2] * top13 - e[2][3] * top12;
  adjugate[1][0] = -e[1][0] * bottom23 + e[1][2] * bottom03 - e[1][3] * bottom02;
  adjugate[1][1] = e[0][0] * bottom23 - e[0][2] * bottom03 + e[0][3] * bottom02;
  adjugate[1][2] = -e[3][0] * top23 + e[3][2] * top03 - e[3][3] * top02;
  adjugate[1][3] = e[2][0] * top23 - e[2][2] * top03 + e[2][3] * top02;
  adjugate[2][0] = e[1][0] * bottom13 - e[1][1] * bottom03 + e[1][3] * bottom01;
  adjugate[2][1] = -e[0][0] * bottom13 + e[0][1] * bottom03 - e[0][3] * bottom01;
  adjugate[2][2] = e[3][0] * top13 - e[3][1] * top03 + e[3][3] * top01;
  adjugate[2][3] = -e[2][0] * top13 + e[2][1] * top03 - e[2][3] * top01;
  adjugate[3][0] = -e[1][0] * bottom12 + e[1][1] * bottom02 - e[1][2] * bottom01;
  adjugate[3][1] = e[0][0] * bottom12 - e[0][1] * bottom02 + e[0][2] * bottom01;
  adjugate[3][2] = -e[3][0] * top12 + e[3][1] * top02 - e[3][2] * top01;
  adjugate[3][3] = e[2][0] * top12 - e[2][1] * top02 + e[2][2] * top01;

  Matrix inverse;
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      const float value = static_cast<float>(adjugate[row][column] / det);
      // A determinant so small that the inverse overflows floats is as
      // useless to the caller as a singular one.
      if (!std::isfinite(value)) return nullptr;
      inverse.m[row][column] = value;
    }
  }
  *out = inverse;
  return out;
}

Matrix* MatrixTranspose(Matrix* out, const Matrix* m) {
  Matrix transposed;
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) transposed.m[row][column] = m->m[column][row];
  }
  *out = transposed;
  return out;
}

Matrix* MatrixScaling(Matrix* out, float sx, float sy, float sz) {
  MatrixIdentity(out);
  out->m[0][0] = sx;
  out->m[1][1] = sy;
  out->m[2][2] = sz;
  return out;
}

Matrix* MatrixTranslation(Matrix* out, float x, float y, float z) {
  MatrixIdentity(out);
  out->m[3][0] = x;
  out->m[3][1] = y;
  out->m[3][2] = z;
  return out;
}

Matrix* MatrixRotationX(Matrix* out, float angle) {
  const Vec3 xAxis{1.0f, 0.0f, 0.0f};
  return MatrixRotationAxis(out, &xAxis, angle);
}

Matrix* MatrixRotationAxis(Matrix* out, const Vec3* axis, float angle) {
  const Vec3 n = Normalize(*axis);
  const float c = std::cos(angle);
  const float s = std::sin(angle);
  const float t = 1.0f - c;
  Matrix rotation;
  rotation.m[0][0] = t * n.x * n.x + c;
  rotation.m[0][1] = t * n.x * n.y + s * n.z;
  rotation.m[0][2] = t * n.x * n.z - s * n.y;
  rotation.m[1][0] = t * n.x * n.y - s * n.z;
  rotation.m[1][1] = t * n.y * n.y + c;
  rotation.m[1][2] = t * n.y * n.z + s * n.x;
  rotation.m[2][0] = t * n.x * n.z + s * n.y;
  rotation.m[2][1] = t * n.y * n.z - s * n.x;
  rotation.m[2][2] = t * n.z * n.z + c;
  rotation.m[3][3] = 1.0f;
  *out = rotation;
  return out;
}

Matrix* MatrixRotationYawPitchRoll(Matrix* out, float yaw, float pitch, float roll) {
  const Vec3 yAxis{0.0f, 1.0f, 0.0f};
  const Vec3 zAxis{0.0f, 0.0f, 1.0f};
  Matrix rollRotation, pitchRotation, yawRotation;
  MatrixRotationAxis(&rollRotation, &zAxis, roll);
  MatrixRotationX(&pitchRotation, pitch);
  MatrixRotationAxis(&yawRotation, &yAxis, yaw);
  Matrix rollThenPitch;
  MatrixMultiply(&rollThenPitch, &rollRotation, &pitchRotation);
  return MatrixMultiply(out, &rollThenPitch, &yawRotation);
}

Matrix* MatrixLookAtLH(Matrix* out, const Vec3* eye, const Vec3* at, const Vec3* up) {
  const Vec3 zAxis = Normalize(Subtract(*at, *eye));
  const Vec3 xAxis = Normalize(Cross(*up, zAxis));
  const Vec3 yAxis = Cross(zAxis, xAxis);
  Matrix view;
  view.m[0][0] = xAxis.x;
  view.m[0][1] = yAxis.x;
  view.m[0][2] = zAxis.x;
  view.m[1][0] = xAxis.y;
  view.m[1][1] = yAxis.y;
  view.m[1][2] = zAxis.y;
  view.m[2][0] = xAxis.z;
  view.m[2][1] = yAxis.z;
  view.m[2][2] = zAxis.z;
  view.m[3][0] = -Dot(xAxis, *eye);
  view.m[3][1] = -Dot(yAxis, *eye);
  view.m[3][2] = -Dot(zAxis, *eye);
  view.m[3][3] = 1.0f;
  *out = view;
  return out;
}

Matrix* MatrixPerspectiveFovLH(Matrix* out, float fovY, float aspect, float zNear, float zFar) {
  const float yScale = 1.0f / std::tan(fovY / 2.0f);
  const float xScale = yScale / aspect;
  const float depthScale = zFar / (zFar - zNear);
  Matrix projection;
  projection.m[0][0] = xScale;
  projection.m[1][1] = yScale;
  projection.m[2][2] = depthScale;
  projection.m[2][3] = 1.0f;
  projection.m[3][2] = -zNear * depthScale;
  *out = projection;
  return out;
}

Matrix* MatrixReflect(Matrix* out, const Plane* plane) {
  Plane p;
  PlaneNormalize(&p, plane);
  Matrix reflection;
  reflection.m[0][0] = 1.0f - 2.0f * p.a * p.a;
  reflection.m[0][1] = -2.0f * p.b * p.a;
  reflection.m[0][2] = -2.0f * p.c * p.a;
  reflection.m[1][0] = -2.0f * p.a * p.b;
  reflection.m[1][1] = 1.0f - 2.0f * p.b * p.b;
  reflection.m[1][2] = -2.0f * p.c * p.b;
  reflection.m[2][0] = -2.0f * p.a * p.c;
  reflection.m[2][1] = -2.0f * p.b * p.c;
  reflection.m[2][2] = 1.0f - 2.0f * p.c * p.c;
  reflection.m[3][0] = -2.0f * p.a * p.d;
  reflection.m[3][1] = -2.0f * p.b * p.d;
  reflection.m[3][2] = -2.0f * p.c * p.d;
  reflection.m[3][3] = 1.0f;
  *out = reflection;
  return out;
}

Plane* PlaneNormalize(Plane* out, const Plane* p) {
  const float length = std::sqrt(p->a * p->a + p->b * p->b + p->c * p->c);
  if (length == 0.0f) {
    *out = Plane{};
    return out;
  }
  *out = Plane{p->a / length, p->b / length, p->c / length, p->d / length};
  return out;
}

Plane* PlaneTransform(Plane* out, const Plane* p, const Matrix* m) {
  const Vec4 r = TransformRow(Vec4{p->a, p->b, p->c, p->d}, *m);
  *out = Plane{r.x, r.y, r.z, r.w};
  return out;
}

Vec3* Vec3TransformCoord(Vec3* out, const Vec3* v, const Matrix* m) {
  const Vec4 r = TransformRow(Vec4{v->x, v->y, v->z, 1.0f}, *m);
  *out = Vec3{r.x / r.w, r.y / r.w, r.z / r.w};
  return out;
}

Vec3* Vec3TransformNormal(Vec3* out, const Vec3* v, const Matrix* m) {
  const Vec4 r = TransformRow(Vec4{v->x, v->y, v->z, 0.0f}, *m);
  *out = Vec3{r.x, r.y, r.z};
  return out;
}
