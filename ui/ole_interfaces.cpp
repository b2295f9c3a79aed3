#include "ui/ole_interfaces.h"

void ReleaseStgMedium(STGMEDIUM& Medium)
{
    if ((Medium.tymed & TYMED_HGLOBAL) && Medium.hGlobal)
        GlobalFree(Medium.hGlobal);
    Medium = STGMEDIUM{};
}
