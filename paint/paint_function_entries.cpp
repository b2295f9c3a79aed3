#include "paint/paint_function_entries.h"

#include "paint/paint_functions_fill.h"
#include "paint/paint_functions_filter.h"

#include <iterator>

namespace {

struct TEntryName {
    const char* Name;
    TPaintFunctionEntry Entry;
};

#define TAVRO_PAINT_ENTRY(F) TEntryName{#F, &F}

constexpr TEntryName cEntries[] = {
    TAVRO_PAINT_ENTRY(Dummy),
    TAVRO_PAINT_ENTRY(NilPictureCloud),
    TAVRO_PAINT_ENTRY(NilPictureContBright),
    TAVRO_PAINT_ENTRY(NilPictureDrawPathGradation),
    TAVRO_PAINT_ENTRY(NilPictureFillColEmboss),
    TAVRO_PAINT_ENTRY(NilPictureFilterDiffuse),
    TAVRO_PAINT_ENTRY(NilPictureFilterEmboss),
    TAVRO_PAINT_ENTRY(NilPictureFilterGradateMove),
    TAVRO_PAINT_ENTRY(NilPictureFilterNoParam),
    TAVRO_PAINT_ENTRY(NilPictureFilterSize),
    TAVRO_PAINT_ENTRY(NilPictureFilterSobel),
    TAVRO_PAINT_ENTRY(NilPictureGlass1),
    TAVRO_PAINT_ENTRY(NilPictureHLS),
    TAVRO_PAINT_ENTRY(NilPictureHSI),
    TAVRO_PAINT_ENTRY(NilPictureLevel),
    TAVRO_PAINT_ENTRY(NilPictureLight),
    TAVRO_PAINT_ENTRY(NilPictureMerge),
    TAVRO_PAINT_ENTRY(NilPictureMergePlane),
    TAVRO_PAINT_ENTRY(NilPictureNoise),
    TAVRO_PAINT_ENTRY(NilPicturePaintFill2),
    TAVRO_PAINT_ENTRY(NilPictureStainedGlass),
    TAVRO_PAINT_ENTRY(NilPictureToneMetal),
    TAVRO_PAINT_ENTRY(NilPictureYCbCr),
    TAVRO_PAINT_ENTRY(NilPlaneCloud),
    TAVRO_PAINT_ENTRY(NilPlaneContBright),
    TAVRO_PAINT_ENTRY(NilPlaneDrawPathGradation),
    TAVRO_PAINT_ENTRY(NilPlaneFillCol),
    TAVRO_PAINT_ENTRY(NilPlaneFilterDiffuse),
    TAVRO_PAINT_ENTRY(NilPlaneFilterEmboss),
    TAVRO_PAINT_ENTRY(NilPlaneFilterGradateMove),
    TAVRO_PAINT_ENTRY(NilPlaneFilterNoParam),
    TAVRO_PAINT_ENTRY(NilPlaneFilterSize),
    TAVRO_PAINT_ENTRY(NilPlaneFilterSobel),
    TAVRO_PAINT_ENTRY(NilPlaneLevel),
    TAVRO_PAINT_ENTRY(NilPlaneMerge),
    TAVRO_PAINT_ENTRY(NilPlaneMove),
    TAVRO_PAINT_ENTRY(NilPlaneNoise),
    TAVRO_PAINT_ENTRY(NilPlanePaintFill2),
    TAVRO_PAINT_ENTRY(NilPlanePaintFillCol),
    TAVRO_PAINT_ENTRY(NilPlanePaintFillCol100),
    TAVRO_PAINT_ENTRY(NilPlaneStainedGlass),
    TAVRO_PAINT_ENTRY(NilPlaneToneMetal),
    TAVRO_PAINT_ENTRY(PathRough),
    TAVRO_PAINT_ENTRY(PictureDuplicate),
    TAVRO_PAINT_ENTRY(PictureMake),
    TAVRO_PAINT_ENTRY(PictureMakeForPath2),
    TAVRO_PAINT_ENTRY(PlaneDuplicate),
    TAVRO_PAINT_ENTRY(PlaneMake),
    TAVRO_PAINT_ENTRY(PlaneMakeForPath),
    TAVRO_PAINT_ENTRY(PlaneMakeForPath2),
    TAVRO_PAINT_ENTRY(PlaneSetReferSize),
    TAVRO_PAINT_ENTRY(SetRandomSeed),
};

#undef TAVRO_PAINT_ENTRY

} // namespace

TPaintFunctionEntry PaintFunctionEntry(std::string_view Name)
{
    for (const TEntryName& E : cEntries)
        if (Name == E.Name)
            return E.Entry;
    return nullptr;
}
