/* Test stand-ins for the geoid library: one reports its arguments through its result, the
 * other has no geoid entry at all. */
#if defined(PROBE_WITH_ENTRY)
__attribute__((visibility("default"))) double geoidh_egm2008(double* latLon)
{
    /* Latitude in the thousands, longitude in the units: order and scale both show. */
    return 1000.0 * latLon[0] + latLon[1];
}
#else
__attribute__((visibility("default"))) double geoid_other_entry(double* latLon)
{
    return latLon[0];
}
#endif
