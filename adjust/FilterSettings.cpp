#include "adjust/FilterSettings.h"

#include "desktop/LiteRegistry.h"
#include "graph/ExternalFilters.h"

// The first three routines change nothing yet.

void RegisterMissingFilters() {}

void DisableFilterTrayUi() {}

void SetFfdshowPictureProps(int) {}

void SetFfdshowSharpen(uint32_t value) {
    for (const CLSID& filter : {CLSID_ffdshowVideoDecoder, CLSID_ffdshowRawVideoFilter}) {
        const HKEY handle = CreateRegKey(HKEY_CURRENT_USER, FindExternalFilter(filter)->RegistryKey,
                                         KEY_ALL_ACCESS);
        WriteRegDword(handle, "xsharpen", value);
        CloseRegKey(handle);
    }
}
