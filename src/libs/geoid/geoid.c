/*
 * A coarse stand-in for the EGM2008 geoid library the system loads at run time.
 *
 * Entry: double geoidh_egm2008(double* latLon), latLon[0] the latitude and latLon[1] the
 * longitude, both in radians; returns the geoid undulation in metres.
 *
 * The model is a 30-degree grid of rounded undulations with bilinear interpolation between
 * the nodes: good for the broad shape of the geoid (the Indian Ocean low, the New Guinea and
 * North Atlantic highs), off by tens of metres locally. It is no substitute for the real model.
 */
#include <math.h>

#if defined(_WIN32)
#define GEOID_EXPORT __declspec(dllexport)
#else
#define GEOID_EXPORT __attribute__((visibility("default")))
#endif

#define ROWS 7  /* latitude 90, 60, ..., -90 */
#define COLS 12 /* longitude 0, 30, ..., 330 east */

static const double kNodes[ROWS][COLS] = {
    {14, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14},
    {46, 20, -5, -30, -20, 0, 10, 5, -15, -45, -20, 60},
    {45, 15, -40, -35, 10, 30, 10, 0, -35, -25, -35, 55},
    {17, 0, -60, -65, 55, 70, 20, 5, -10, -5, -15, 15},
    {20, 30, 0, -15, -30, 20, 20, -5, -10, -5, 15, 15},
    {10, -10, -30, -10, 0, -20, -50, -60, -50, -10, -20, -5},
    {-30, -30, -30, -30, -30, -30, -30, -30, -30, -30, -30, -30},
};

GEOID_EXPORT double geoidh_egm2008(double* latLon)
{
    const double pi = 3.141592653589793;
    double lat = latLon[0] * 180.0 / pi;
    double lon = latLon[1] * 180.0 / pi;
    if (isnan(lat) || isnan(lon) || isinf(lat) || isinf(lon))
        return NAN;
    if (lat > 90.0)
        lat = 90.0;
    if (lat < -90.0)
        lat = -90.0;
    lon = fmod(lon, 360.0);
    if (lon < 0.0)
        lon += 360.0;

    double row = (90.0 - lat) / 30.0;
    double col = lon / 30.0;
    int r0 = (int)floor(row);
    int c0 = (int)floor(col);
    if (r0 >= ROWS - 1)
        r0 = ROWS - 2;
    if (c0 >= COLS)
        c0 = COLS - 1;
    const int c1 = (c0 + 1) % COLS;
    const double fr = row - r0;
    const double fc = col - c0;
    const double top = kNodes[r0][c0] * (1.0 - fc) + kNodes[r0][c1] * fc;
    const double bottom = kNodes[r0 + 1][c0] * (1.0 - fc) + kNodes[r0 + 1][c1] * fc;
    return top * (1.0 - fr) + bottom * fr;
}
