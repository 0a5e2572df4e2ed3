/*
 * The small floating-point library of the text work: sine, cosine, square
 * root, arc tangent and sine, hypotenuse, and the whole-degree angle of a
 * vector, computed the same way on every machine.
 */
#ifndef TARVELGR_DRAW_MATHS_H
#define TARVELGR_DRAW_MATHS_H

#include <plat/types.h>

float MTH_Sin(float x); /* 0 <= x <= 2 pi */
float MTH_Cos(float x);
float MTH_Sqrt(float x); /* 0 for x <= 0 */
float MTH_Atan(float x);
float MTH_Asin(float x); /* -1 <= x <= 1; beyond it, the value at the nearer end */
float MTH_Hypot(float a, float b);

/* The angle of (x, y) to the nearest whole degree, 0..359. */
LONG MTH_AngleDegrees(float x, float y);

/* The smallest integer r with r * r >= a * a + b * b (at most 2^31 - 1). */
LONG MTH_IntHypot(LONG a, LONG b);

#endif /* TARVELGR_DRAW_MATHS_H */
