// The host asks every MEX file which version of the MEX interface it was
// built for: release 0x2017A of the interface, target API 0.

#include <stdint.h>

extern "C" void mexfilerequiredapiversion(uint32_t* built_by_release, uint32_t* target_api_version)
{
    *built_by_release = 0x2017A;
    *target_api_version = 0;
}
