/*
 * The geoid library the system loads at run time: EGM96 undulations from the 15-minute grid
 * that Debian's proj-data package installs, interpolated bilinearly as PROJ does.
 *
 * Entry: double geoidh_egm2008(double* latLon), latLon[0] the latitude and latLon[1] the
 * longitude, both in radians; returns the geoid undulation in metres, or NaN when no usable
 * grid could be read (or a coordinate is not a number), which the caller takes as "no geoid".
 *
 * The grid file "egm96_15.gtx" is looked for in each folder of PROJ_DATA when that is set (':'
 * between folders; ';' on Windows), as PROJ's own tools do, otherwise in /usr/share/proj. It is
 * read once, on the first call.
 *
 * GTX file, all big-endian:
 *   offset  size        field
 *   0       8 double    latitude of the south-west node, degrees
 *   8       8 double    longitude of the south-west node, degrees
 *   16      8 double    latitude step, degrees
 *   24      8 double    longitude step, degrees
 *   32      4 int32     rows
 *   36      4 int32     columns
 *   40      4 float32   rows * columns values in metres, row by row from south to north,
 *                       each row from west to east
 * The EGM96 grid begins
 *   C0 56 80 00 00 00 00 00  C0 66 80 00 00 00 00 00   -90.0  -180.0
 *   3F D0 00 00 00 00 00 00  3F D0 00 00 00 00 00 00   0.25   0.25
 *   00 00 02 D1 00 00 05 A0                             721 rows, 1440 columns
 *   C1 EC 45 30 ...                                     -29.5338 m at the south pole
 * Only a grid that covers the whole globe is used: latitudes beyond its first and last rows are
 * held at the poles, and longitudes wrap round, so the date line is interpolated across.
 */
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <threads.h>

#if defined(_WIN32)
#define GEOID_EXPORT __declspec(dllexport)
#define PATH_LIST_SEPARATOR ';'
#else
#define GEOID_EXPORT __attribute__((visibility("default")))
#define PATH_LIST_SEPARATOR ':'
#endif

#define GRID_FILE_NAME "egm96_15.gtx"
#define DEFAULT_GRID_DIR "/usr/share/proj"
#define HEADER_SIZE 40
/* Far beyond any geoid grid (a 1' global grid has 10801 rows); keeps the size arithmetic safe. */
#define MAX_NODES_PER_SIDE 100000

typedef struct
{
    double south;     /* latitude of the first row, degrees */
    double west;      /* longitude of the first column, degrees */
    double latStep;
    double lonStep;
    int rows;
    int cols;
    int colsAround;   /* columns in 360 degrees: the column index wraps modulo this */
    float* values;    /* NULL when no usable grid was found */
} Grid;

static Grid g_grid;
static once_flag g_loadOnce = ONCE_FLAG_INIT;

static double beDouble(const unsigned char* p)
{
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits = (bits << 8) | p[i];
    double d;
    memcpy(&d, &bits, sizeof d);
    return d;
}

static int32_t beInt32(const unsigned char* p)
{
    const uint32_t bits = ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
    int32_t i;
    memcpy(&i, &bits, sizeof i);
    return i;
}

static float beFloat(const unsigned char* p)
{
    const uint32_t bits = ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
    float f;
    memcpy(&f, &bits, sizeof f);
    return f;
}

static int nearly(double a, double b)
{
    return fabs(a - b) < 1e-9;
}

/* Reads the GTX file behind f into *grid; returns 0 and leaves *grid untouched when the file is
 * short, longer than its header says, or not a global grid. */
static int parseGrid(FILE* f, Grid* grid)
{
    unsigned char header[HEADER_SIZE];
    if (fread(header, 1, HEADER_SIZE, f) != HEADER_SIZE)
        return 0;
    Grid g;
    g.south = beDouble(header);
    g.west = beDouble(header + 8);
    g.latStep = beDouble(header + 16);
    g.lonStep = beDouble(header + 24);
    g.rows = beInt32(header + 32);
    g.cols = beInt32(header + 36);
    if (!isfinite(g.south) || !isfinite(g.west) || !(g.latStep > 0.0) || !(g.lonStep > 0.0)
        || !isfinite(g.latStep) || !isfinite(g.lonStep) || g.rows < 2 || g.cols < 2
        || g.rows > MAX_NODES_PER_SIDE || g.cols > MAX_NODES_PER_SIDE)
        return 0;
    if (!nearly(g.south, -90.0) || !nearly(g.south + (g.rows - 1) * g.latStep, 90.0))
        return 0;
    const double around = 360.0 / g.lonStep;
    g.colsAround = (int)lround(around);
    if (!nearly(around, g.colsAround) || g.cols < g.colsAround)
        return 0;

    const size_t count = (size_t)g.rows * (size_t)g.cols;
    unsigned char* bytes = malloc(count * 4);
    if (!bytes)
        return 0;
    if (fread(bytes, 1, count * 4, f) != count * 4 || fgetc(f) != EOF) {
        free(bytes);
        return 0;
    }
    /* Decoded in place: each float goes where its own four bytes were. */
    g.values = (float*)bytes;
    for (size_t i = 0; i < count; ++i)
        g.values[i] = beFloat(bytes + 4 * i);
    *grid = g;
    return 1;
}

static int readGrid(const char* path, Grid* grid)
{
    FILE* f = fopen(path, "rb");
    if (!f)
        return 0;
    const int ok = parseGrid(f, grid);
    fclose(f);
    return ok;
}

static void loadGrid(void)
{
    char path[4096];
    const char* dirs = getenv("PROJ_DATA");
    if (!dirs || !*dirs) {
        snprintf(path, sizeof path, "%s/%s", DEFAULT_GRID_DIR, GRID_FILE_NAME);
        readGrid(path, &g_grid);
        return;
    }
    while (*dirs) {
        const char* end = strchr(dirs, PATH_LIST_SEPARATOR);
        const size_t len = end ? (size_t)(end - dirs) : strlen(dirs);
        if (len > 0 && len + sizeof GRID_FILE_NAME + 1 < sizeof path) {
            memcpy(path, dirs, len);
            snprintf(path + len, sizeof path - len, "/%s", GRID_FILE_NAME);
            if (readGrid(path, &g_grid))
                return;
        }
        if (!end)
            break;
        dirs = end + 1;
    }
}

static double node(int row, int col)
{
    return g_grid.values[(size_t)row * (size_t)g_grid.cols + (size_t)col];
}

GEOID_EXPORT double geoidh_egm2008(double* latLon)
{
    call_once(&g_loadOnce, loadGrid);
    if (!g_grid.values)
        return NAN;
    const double pi = 3.141592653589793;
    double lat = latLon[0] * 180.0 / pi;
    const double lon = latLon[1] * 180.0 / pi;
    if (!isfinite(lat) || !isfinite(lon))
        return NAN;

    double row = (lat - g_grid.south) / g_grid.latStep;
    if (row < 0.0)
        row = 0.0;
    if (row > g_grid.rows - 1)
        row = g_grid.rows - 1;
    int r0 = (int)floor(row);
    if (r0 > g_grid.rows - 2)
        r0 = g_grid.rows - 2;

    double col = fmod(lon - g_grid.west, 360.0);
    if (col < 0.0)
        col += 360.0;
    col /= g_grid.lonStep;
    int c0 = (int)floor(col);
    const double fc = col - c0;
    c0 %= g_grid.colsAround;
    const int c1 = (c0 + 1) % g_grid.colsAround;
    const double fr = row - r0;

    const double south = node(r0, c0) * (1.0 - fc) + node(r0, c1) * fc;
    const double north = node(r0 + 1, c0) * (1.0 - fc) + node(r0 + 1, c1) * fc;
    return south * (1.0 - fr) + north * fr;
}
