// math: the matrix, vector and plane functions the demo's scene code calls.
//
// What it does: builds and combines 4x4 transforms in the row-vector,
// left-handed convention the scene code was written for. A point is a row
// vector multiplied on the left (p' = p x M); in a product A x B, A applies
// first; translation lives in row 3 (m[3][0..2]). World space is left-handed
// with y up; every angle is in radians. Projections produce clip depth 0..1.
// Each function writes its result to `out` and returns `out`, so calls chain
// and read like the scene code (`MatrixMultiply(&viewProj, &view, &proj)`).
// `out` may be the same object as any input.
//
// What it does not: no operator overloads, no SIMD, no quaternion or
// decomposition helpers; degenerate inputs (zero axis, eye == at, up parallel
// to the view direction, w == 0) are the caller's to avoid and give
// meaningless but non-crashing results, except MatrixInverse, which reports a
// singular matrix.
//
// Lifetime: plain value types and pure functions; nothing is kept between
// calls, and no pointer is held after a call returns.
#pragma once

struct Vec3 {
  float x = 0.0f, y = 0.0f, z = 0.0f;
};

struct Vec4 {
  float x = 0.0f, y = 0.0f, z = 0.0f, w = 0.0f;
};

// The plane a x + b y + c z + d = 0; (a, b, c) is its normal, which points to
// the side where the expression is positive.
struct Plane {
  float a = 0.0f, b = 0.0f, c = 0.0f, d = 0.0f;
};

// m[row][column], 16 contiguous floats, row 0 first; shaders receive these 16
// floats exactly as stored. Default-constructed to all zeros, not identity.
struct Matrix {
  float m[4][4] = {};
};

Matrix* MatrixIdentity(Matrix* out);

// out = a x b: a's transform applies first, then b's.
Matrix* MatrixMultiply(Matrix* out, const Matrix* a, const Matrix* b);

// General 4x4 inverse by cofactors. Writes det(m) to *determinant when
// determinant is not null (also when m is singular). When m has a zero
// determinant, or its inverse does not fit in floats, returns null and leaves
// *out untouched.
Matrix* MatrixInverse(Matrix* out, float* determinant, const Matrix* m);

Matrix* MatrixTranspose(Matrix* out, const Matrix* m);
Matrix* MatrixScaling(Matrix* out, float sx, float sy, float sz);
Matrix* MatrixTranslation(Matrix* out, float x, float y, float z);

// Rotation about +x by angle radians; rows (1,0,0,0) (0,c,s,0) (0,-s,c,0)
// (0,0,0,1), so +pi/2 takes +y to +z.
Matrix* MatrixRotationX(Matrix* out, float angle);

// Rotation about an arbitrary axis by angle radians; the axis is normalised
// first, so its length does not matter. For the axes (1,0,0), (0,1,0),
// (0,0,1) this is the basic rotation about x, y or z.
Matrix* MatrixRotationAxis(Matrix* out, const Vec3* axis, float angle);

// Roll about z, then pitch about x, then yaw about y (angles in radians):
// out = Rz(roll) x Rx(pitch) x Ry(yaw).
Matrix* MatrixRotationYawPitchRoll(Matrix* out, float yaw, float pitch, float roll);

// View matrix for an eye at `eye` looking at `at`; `up` need not be
// perpendicular to the view direction but must not be parallel to it. The
// view's +z looks from eye to at, +x is to the right, +y up.
Matrix* MatrixLookAtLH(Matrix* out, const Vec3* eye, const Vec3* at, const Vec3* up);

// Perspective projection: fovY is the full vertical field of view in
// radians, aspect is width / height, zNear and zFar are view-space distances
// (same unit as the scene) that map to depth 0 and 1 after the divide by w.
Matrix* MatrixPerspectiveFovLH(Matrix* out, float fovY, float aspect, float zNear, float zFar);

// Mirror across `plane` (normalised first, so its scale does not matter).
Matrix* MatrixReflect(Matrix* out, const Plane* plane);

// Divides all four coefficients by |(a, b, c)|, so that a x + b y + c z + d
// is then the signed distance of (x, y, z) from the plane. A zero normal
// gives the zero plane rather than NaNs.
Plane* PlaneNormalize(Plane* out, const Plane* p);

// (a, b, c, d) as a row vector times m. To move a plane with the points it
// contains, pass the inverse transpose of the points' transform.
Plane* PlaneTransform(Plane* out, const Plane* p, const Matrix* m);

// (x, y, z, 1) x m, then divided by the resulting w.
Vec3* Vec3TransformCoord(Vec3* out, const Vec3* v, const Matrix* m);

// (x, y, z, 0) x m: rotates and scales a direction, ignores translation.
Vec3* Vec3TransformNormal(Vec3* out, const Vec3* v, const Matrix* m);
