#include "paint/paint_function_table.h"

#include "paint/paint_function_entries.h"

#include "foundation/text_fields.h"
#include "platform/global_memory.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <new>

namespace {

template <size_t N>
constexpr TPaintFunctionRec Def(const char* Name, int32_t ResultKind,
                                const TPaintParamDesc (&Params)[N], TArgSet Required)
{
    return TPaintFunctionRec{Name, ResultKind, static_cast<int32_t>(N), Params, nullptr, Required};
}

// Limits. Only the gamma parameters have step values.
constexpr TIntParamRange cIntRange0_100{0, 100, 0, 0, 0};
constexpr TIntParamRange cIntRange0_1000{0, 1000, 0, 0, 0};
constexpr TIntParamRange cIntRange0_10Bar0_5{0, 10, 0, 5, 0};
constexpr TIntParamRange cIntRange0_200{0, 200, 0, 0, 0};
constexpr TIntParamRange cIntRange0_200Bar0_200{0, 200, 0, 200, 0};
constexpr TIntParamRange cIntRange0_255{0, 255, 0, 0, 0};
constexpr TIntParamRange cIntRange0_50{0, 50, 0, 0, 0};
constexpr TIntParamRange cIntRange0_99999{0, 99999, 0, 0, 0};
constexpr TIntParamRange cIntRange1_10{1, 10, 0, 0, 0};
constexpr TIntParamRange cIntRange1_100{1, 100, 0, 0, 0};
constexpr TIntParamRange cIntRange1_50{1, 50, 0, 0, 0};
constexpr TIntParamRange cIntRange1_99999{1, 99999, 0, 0, 0};
constexpr TIntParamRange cIntRangeM1000_1000BarM50_50{-1000, 1000, -50, 50, 0};
constexpr TIntParamRange cIntRangeM100_100{-100, 100, 0, 0, 0};
constexpr TIntParamRange cIntRangeM200_200{-200, 200, 0, 0, 0};
constexpr TIntParamRange cIntRangeM255_255{-255, 255, 0, 0, 0};
constexpr TIntParamRange cIntRangeM360_360{-360, 360, 0, 0, 0};
constexpr TIntParamRange cIntRangeM99999_99999{-99999, 99999, 0, 0, 0};
constexpr TFloatParamRange cRealRangeGamma{0.01, 10, 0.1, 10, 0.01, 0.01, 0.05, 1};
constexpr TFloatParamRange cRealRange0_1000{0, 1000, 0, 0, 0, 0, 0, 0};
constexpr TFloatParamRange cRealRange0_50{0, 50, 0, 0, 0, 0, 0, 0};
constexpr TFloatParamRange cRealRange0_99999{0, 99999, 0, 0, 0, 0, 0, 0};
constexpr TFloatParamRange cRealRangeM99999_99999{-99999, 99999, 0, 0, 0, 0, 0, 0};

// Choice lists.
constexpr const char* cChoicesFillArea[] = {"線", "塗りつぶし", "線と塗りつぶし", "線(外側)", "プロパティ指定", nullptr};
constexpr const char* cChoicesMarginKind[] = {"絶対値", "ガウス", nullptr};
constexpr const char* cChoicesNoYes[] = {"No", "Yes", nullptr};
constexpr const char* cChoicesBitCount[] = {"8", "16", nullptr};
constexpr const char* cChoicesBlendMode[] = {"通常", "乗算", "スクリーン", "オーバーレイ", "ハードライト", "比較(暗)", "比較(明)", "差", "色相", "彩度", "輝度", "加減算", nullptr};
constexpr const char* cChoicesMonoColor[] = {"白黒", "カラー", nullptr};
constexpr const char* cChoicesNoiseKind[] = {"ガウス", "均等", nullptr};
constexpr const char* cChoicesQuality[] = {"低", "普通", "きれい", nullptr};
constexpr const char* cChoicesDiffuse[] = {"通常", "薄く", "濃く", nullptr};
constexpr const char* cChoicesFilterSize[] = {"ガウス", "平均", "最大", "最小", "中央値", "油絵", nullptr};
constexpr const char* cChoicesNoParam[] = {"反転", "面を刻む", nullptr};
constexpr const char* cChoicesCorners[] = {"4", "6", nullptr};

// The 52 distinct definitions.
constexpr TPaintParamDesc cParamsDummy[] = {
    {"1", pkUnused, {}},
    {"2", pkUnused, {}},
    {"3", pkUnused, {}},
    {"4", pkUnused, {}},
    {"5", pkUnused, {}},
    {"6", pkUnused, {}},
    {"7", pkUnused, {}},
    {"8", pkUnused, {}},
    {"9", pkUnused, {}},
    {"10", pkUnused, {}},
    {"11", pkUnused, {}},
    {"12", pkUnused, {}},
    {"13", pkUnused, {}},
    {"14", pkUnused, {}},
    {"15", pkUnused, {}},
    {"16", pkUnused, {}},
    {"17", pkUnused, {}},
    {"18", pkUnused, {}},
    {"19", pkUnused, {}},
    {"20", pkUnused, {}},
};
constexpr TPaintFunctionRec cDummy = Def("Dummy", rkNone, cParamsDummy, TArgSet{});

constexpr TPaintParamDesc cParamsSetRandomSeed[] = {
    {"パターン", pkInteger, {.Int = &cIntRange0_1000}},
};
constexpr TPaintFunctionRec cSetRandomSeed =
    Def("SetRandomSeed", rkNone, cParamsSetRandomSeed, ArgNumbers({1}));

constexpr TPaintParamDesc cParamsPlaneSetReferSize[] = {
    {"Path", pkPath, {}},
    {"線種", pkLineType, {}},
    {"塗りつぶし指定", pkChoice, {.Choices = cChoicesFillArea}},
    {"カラー", pkInteger, {.Int = &cIntRange0_255}},
    {"余白値１", pkInteger, {.Int = &cIntRangeM99999_99999}},
    {"余白値２", pkReal, {.Real = &cRealRange0_99999}},
    {"余白値２種類", pkChoice, {.Choices = cChoicesMarginKind}},
    {"余白値２引数", pkInteger, {.Int = &cIntRangeM100_100}},
    {"余白値３(X)", pkInteger, {.Int = &cIntRangeM100_100}},
    {"余白値３(Y)", pkInteger, {.Int = &cIntRangeM100_100}},
    {"BackGroudnPict", pkPicture, {}},
};
constexpr TPaintFunctionRec cPlaneSetReferSize =
    Def("PlaneSetReferSize", rkPlane, cParamsPlaneSetReferSize, ArgNumbers({1, 2, 3, 4}));

constexpr TPaintParamDesc cParamsPlaneMake[] = {
    {"X(Cx)", pkInteger, {.Int = &cIntRangeM99999_99999}},
    {"Y(Cy)", pkInteger, {.Int = &cIntRangeM99999_99999}},
    {"幅(W)", pkInteger, {.Int = &cIntRange1_99999}},
    {"高さ(H)", pkInteger, {.Int = &cIntRange1_99999}},
    {"塗り潰し値", pkInteger, {.Int = &cIntRange0_255}},
};
constexpr TPaintFunctionRec cPlaneMake =
    Def("PlaneMake", rkPlane, cParamsPlaneMake, ArgNumbers({1, 2, 3, 4, 5, 6}));

constexpr TPaintParamDesc cParamsPlaneMakeForPath[] = {
    {"Path", pkPath, {}},
    {"余白左", pkInteger, {.Int = &cIntRange0_99999}},
    {"余白上", pkInteger, {.Int = &cIntRange0_99999}},
    {"余白右", pkInteger, {.Int = &cIntRange0_99999}},
    {"余白下", pkInteger, {.Int = &cIntRange0_99999}},
    {"カラー", pkInteger, {.Int = &cIntRange0_255}},
};
constexpr TPaintFunctionRec cPlaneMakeForPath =
    Def("PlaneMakeForPath", rkPlane, cParamsPlaneMakeForPath, ArgNumbers({1}));

constexpr TPaintParamDesc cParamsPlaneMakeForPath2[] = {
    {"Path", pkPath, {}},
    {"線種", pkLineType, {}},
    {"塗りつぶし指定", pkChoice, {.Choices = cChoicesFillArea}},
    {"カラー", pkInteger, {.Int = &cIntRange0_255}},
    {"余白値１", pkInteger, {.Int = &cIntRangeM99999_99999}},
    {"余白値２", pkReal, {.Real = &cRealRange0_99999}},
    {"余白値２種類", pkChoice, {.Choices = cChoicesMarginKind}},
    {"余白値２引数", pkInteger, {.Int = &cIntRangeM100_100}},
    {"余白値３(X)", pkInteger, {.Int = &cIntRangeM100_100}},
    {"余白値３(Y)", pkInteger, {.Int = &cIntRangeM100_100}},
};
constexpr TPaintFunctionRec cPlaneMakeForPath2 =
    Def("PlaneMakeForPath2", rkPlane, cParamsPlaneMakeForPath2, ArgNumbers({1, 2, 3, 4}));

constexpr TPaintParamDesc cParamsPlaneDuplicate[] = {
    {"Src Plane", pkPlane, {}},
    {"NoCopy", pkChoice, {.Choices = cChoicesNoYes}},
    {"BitCount", pkChoice, {.Choices = cChoicesBitCount}},
    {"塗りFlag", pkPlaneFill, {}},
    {"NoExec", pkChoice, {.Choices = cChoicesNoYes}},
};
constexpr TPaintFunctionRec cPlaneDuplicate =
    Def("PlaneDuplicate", rkPlane, cParamsPlaneDuplicate, ArgNumbers({1}));

constexpr TPaintParamDesc cParamsNilPlaneMove[] = {
    {"Dest  Plane", pkPlane, {}},
    {"Mask  Plane", pkPlane, {}},
    {"Dx", pkInteger, {.Int = &cIntRangeM1000_1000BarM50_50}},
    {"Dy", pkInteger, {.Int = &cIntRangeM1000_1000BarM50_50}},
};
constexpr TPaintFunctionRec cNilPlaneMove =
    Def("NilPlaneMove", rkNone, cParamsNilPlaneMove, ArgNumbers({1, 3, 4}));

constexpr TPaintParamDesc cParamsNilPlaneMerge[] = {
    {"Dest  Plane", pkPlane, {}},
    {"Src   Plane", pkPlane, {}},
    {"Merge Mode", pkChoice, {.Choices = cChoicesBlendMode}},
    {"不透明度", pkInteger, {.Int = &cIntRange0_100}},
    {"塗りFlag", pkPlaneFill, {}},
    {"NoExec", pkChoice, {.Choices = cChoicesNoYes}},
    {"ClearOutSide", pkChoice, {.Choices = cChoicesNoYes}},
};
constexpr TPaintFunctionRec cNilPlaneMerge =
    Def("NilPlaneMerge", rkNone, cParamsNilPlaneMerge, ArgNumbers({1, 2}));

constexpr TPaintParamDesc cParamsNilPlaneDrawPathGradation[] = {
    {"Dest  Plane", pkPlane, {}},
    {"Mask  Plane", pkPlane, {}},
    {"不透明度", pkInteger, {.Int = &cIntRange0_100}},
    {"Path", pkPath, {}},
    {"線種", pkLineType, {}},
    {"濃さ(内側)", pkInteger, {.Int = &cIntRange0_255}},
    {"濃さ(外側)", pkInteger, {.Int = &cIntRange0_255}},
    {"ガンマ値(>0.01)", pkReal, {.Real = &cRealRangeGamma}},
    {"アンチエリアス", pkChoice, {.Choices = cChoicesNoYes}},
};
constexpr TPaintFunctionRec cNilPlaneDrawPathGradation =
    Def("NilPlaneDrawPathGradation", rkNone, cParamsNilPlaneDrawPathGradation, ArgNumbers({1, 4, 5, 6, 7, 8, 9}));

constexpr TPaintParamDesc cParamsNilPlanePaintFill2[] = {
    {"Dest  Plane", pkPlane, {}},
    {"Mask  Plane", pkPlane, {}},
    {"不透明度", pkInteger, {.Int = &cIntRange0_100}},
    {"Path", pkPath, {}},
    {"線種", pkLineType, {}},
    {"塗り方法", pkPlaneFill, {}},
    {"塗りつぶし指定", pkChoice, {.Choices = cChoicesFillArea}},
    {"アンチエリアス", pkChoice, {.Choices = cChoicesNoYes}},
    {"描画方法", pkChoice, {.Choices = cChoicesBlendMode}},
};
constexpr TPaintFunctionRec cNilPlanePaintFill2 =
    Def("NilPlanePaintFill2", rkNone, cParamsNilPlanePaintFill2, ArgNumbers({1, 3, 6}));

constexpr TPaintParamDesc cParamsNilPlanePaintFillCol[] = {
    {"Dest  Plane", pkPlane, {}},
    {"Mask  Plane", pkPlane, {}},
    {"不透明度", pkInteger, {.Int = &cIntRange0_100}},
    {"Path", pkPath, {}},
    {"線種", pkLineType, {}},
    {"色(濃さ)", pkInteger, {.Int = &cIntRange0_255}},
    {"塗りつぶし指定", pkChoice, {.Choices = cChoicesFillArea}},
    {"アンチエリアス", pkChoice, {.Choices = cChoicesNoYes}},
    {"描画方法", pkChoice, {.Choices = cChoicesBlendMode}},
};
constexpr TPaintFunctionRec cNilPlanePaintFillCol =
    Def("NilPlanePaintFillCol", rkNone, cParamsNilPlanePaintFillCol, ArgNumbers({1, 3}));

constexpr TPaintParamDesc cParamsNilPlanePaintFillCol100[] = {
    {"Dest  Plane", pkPlane, {}},
    {"Mask  Plane", pkPlane, {}},
    {"不透明度", pkInteger, {.Int = &cIntRange0_100}},
    {"Path", pkPath, {}},
    {"線種", pkLineType, {}},
    {"色(濃さ)", pkInteger, {.Int = &cIntRange0_100}},
    {"塗りつぶし指定", pkChoice, {.Choices = cChoicesFillArea}},
    {"アンチエリアス", pkChoice, {.Choices = cChoicesNoYes}},
    {"描画方法", pkChoice, {.Choices = cChoicesBlendMode}},
};
constexpr TPaintFunctionRec cNilPlanePaintFillCol100 =
    Def("NilPlanePaintFillCol100", rkNone, cParamsNilPlanePaintFillCol100, ArgNumbers({1, 3}));

constexpr TPaintParamDesc cParamsNilPlaneFillCol[] = {
    {"Dst   Plane", pkPlane, {}},
    {"Mask  Plane", pkPlane, {}},
    {"Color       ", pkInteger, {.Int = &cIntRange0_255}},
};
constexpr TPaintFunctionRec cNilPlaneFillCol =
    Def("NilPlaneFillCol", rkNone, cParamsNilPlaneFillCol, ArgNumbers({1}));

constexpr TPaintParamDesc cParamsNilPlaneNoise[] = {
    {"Dst   Plane", pkPlane, {}},
    {"Mask  Plane", pkPlane, {}},
    {"白黒/カラー", pkChoice, {.Choices = cChoicesMonoColor}},
    {"種類", pkChoice, {.Choices = cChoicesNoiseKind}},
    {"大きさ", pkInteger, {.Int = &cIntRange0_1000}},
    {"標準偏差*100", pkInteger, {.Int = &cIntRange1_100}},
};
constexpr TPaintFunctionRec cNilPlaneNoise =
    Def("NilPlaneNoise", rkNone, cParamsNilPlaneNoise, ArgNumbers({1, 3, 4, 5, 6}));

constexpr TPaintParamDesc cParamsPictureMake[] = {
    {"X(Cx)", pkInteger, {.Int = &cIntRangeM99999_99999}},
    {"Y(Cy)", pkInteger, {.Int = &cIntRangeM99999_99999}},
    {"幅(W)", pkInteger, {.Int = &cIntRange1_99999}},
    {"高さ(H)", pkInteger, {.Int = &cIntRange1_99999}},
};
constexpr TPaintFunctionRec cPictureMake =
    Def("PictureMake", rkPicture, cParamsPictureMake, ArgNumbers({1, 2, 3, 4, 5}));

constexpr TPaintParamDesc cParamsPictureMakeForPath2[] = {
    {"Path", pkPath, {}},
    {"線種", pkLineType, {}},
    {"塗りつぶし指定", pkChoice, {.Choices = cChoicesFillArea}},
    {"ダミー", pkInteger, {.Int = nullptr}},
    {"余白値１", pkInteger, {.Int = &cIntRange0_99999}},
    {"余白値２", pkReal, {.Real = &cRealRange0_99999}},
    {"余白値２種類", pkChoice, {.Choices = cChoicesMarginKind}},
    {"余白値２引数", pkReal, {.Real = &cRealRangeM99999_99999}},
    {"余白値３(X)", pkReal, {.Real = &cRealRange0_99999}},
    {"余白値３(Y)", pkReal, {.Real = &cRealRange0_99999}},
};
constexpr TPaintFunctionRec cPictureMakeForPath2 =
    Def("PictureMakeForPath2", rkPicture, cParamsPictureMakeForPath2, ArgNumbers({1, 2, 3, 4}));

constexpr TPaintParamDesc cParamsPictureDuplicate[] = {
    {"Src Picture", pkPicture, {}},
};
constexpr TPaintFunctionRec cPictureDuplicate =
    Def("PictureDuplicate", rkPicture, cParamsPictureDuplicate, ArgNumbers({1}));

constexpr TPaintParamDesc cParamsNilPictureMerge[] = {
    {"Dst Picture", pkPicture, {}},
    {"Src Picture", pkPicture, {}},
    {"Plane Mask  ", pkPlane, {}},
    {"Merge Mode", pkChoice, {.Choices = cChoicesBlendMode}},
    {"不透明度", pkInteger, {.Int = &cIntRange0_100}},
};
constexpr TPaintFunctionRec cNilPictureMerge =
    Def("NilPictureMerge", rkNone, cParamsNilPictureMerge, ArgNumbers({1, 2}));

constexpr TPaintParamDesc cParamsNilPictureMergePlane[] = {
    {"Dst Picture", pkPicture, {}},
    {"Src Plane", pkPlane, {}},
    {"Plane Mask  ", pkPlane, {}},
    {"Merge Mode", pkChoice, {.Choices = cChoicesBlendMode}},
    {"不透明度", pkInteger, {.Int = &cIntRange0_100}},
};
constexpr TPaintFunctionRec cNilPictureMergePlane =
    Def("NilPictureMergePlane", rkNone, cParamsNilPictureMergePlane, ArgNumbers({1, 2}));

constexpr TPaintParamDesc cParamsNilPictureFillColEmboss[] = {
    {"Dst Picture", pkPicture, {}},
    {"Mask  Plane", pkPlane, {}},
    {"ColorHighlight", pkColor, {}},
    {"ColorShadow", pkColor, {}},
};
constexpr TPaintFunctionRec cNilPictureFillColEmboss =
    Def("NilPictureFillColEmboss", rkNone, cParamsNilPictureFillColEmboss, ArgNumbers({1, 2, 3, 4, 5}));

constexpr TPaintParamDesc cParamsNilPictureDrawPathGradation[] = {
    {"Dest  Picture", pkPicture, {}},
    {"Mask  Plane", pkPlane, {}},
    {"不透明度", pkInteger, {.Int = &cIntRange0_100}},
    {"Path", pkPath, {}},
    {"線種", pkLineType, {}},
    {"色(内側)", pkColor, {}},
    {"色(外側)", pkColor, {}},
    {"ガンマ値(>0.01)", pkReal, {.Real = &cRealRangeGamma}},
    {"アンチエリアス", pkChoice, {.Choices = cChoicesNoYes}},
};
constexpr TPaintFunctionRec cNilPictureDrawPathGradation =
    Def("NilPictureDrawPathGradation", rkNone, cParamsNilPictureDrawPathGradation, ArgNumbers({1, 4, 5, 6, 7, 8, 9}));

constexpr TPaintParamDesc cParamsNilPicturePaintFill2[] = {
    {"Dest  Picture", pkPicture, {}},
    {"Mask  Plane", pkPlane, {}},
    {"不透明度", pkInteger, {.Int = &cIntRange0_100}},
    {"Path", pkPath, {}},
    {"線種", pkLineType, {}},
    {"塗り方法", pkFill, {}},
    {"塗りつぶし指定", pkChoice, {.Choices = cChoicesFillArea}},
    {"アンチエリアス", pkChoice, {.Choices = cChoicesNoYes}},
    {"描画方法", pkChoice, {.Choices = cChoicesBlendMode}},
};
constexpr TPaintFunctionRec cNilPicturePaintFill2 =
    Def("NilPicturePaintFill2", rkNone, cParamsNilPicturePaintFill2, ArgNumbers({1, 3, 6}));

constexpr TPaintParamDesc cParamsNilPlaneContBright[] = {
    {"Dst Plane", pkPlane, {}},
    {"Mask  Plane", pkPlane, {}},
    {"Contrast   ", pkInteger, {.Int = &cIntRange0_200}},
    {"Bright", pkInteger, {.Int = &cIntRangeM255_255}},
    {"Average", pkInteger, {.Int = &cIntRange0_255}},
    {"CutInRange", pkChoice, {.Choices = cChoicesNoYes}},
};
constexpr TPaintFunctionRec cNilPlaneContBright =
    Def("NilPlaneContBright", rkNone, cParamsNilPlaneContBright, ArgNumbers({1, 3, 4, 5}));

constexpr TPaintParamDesc cParamsNilPictureContBright[] = {
    {"Dst Picture", pkPicture, {}},
    {"Mask  Plane", pkPlane, {}},
    {"Contrast", pkInteger, {.Int = &cIntRange0_200}},
    {"Bright", pkInteger, {.Int = &cIntRangeM255_255}},
    {"Average", pkInteger, {.Int = &cIntRange0_255}},
    {"CutInRange", pkChoice, {.Choices = cChoicesNoYes}},
};
constexpr TPaintFunctionRec cNilPictureContBright =
    Def("NilPictureContBright", rkNone, cParamsNilPictureContBright, ArgNumbers({1, 3, 4, 5}));

constexpr TPaintParamDesc cParamsNilPictureHSI[] = {
    {"Dst Picture", pkPicture, {}},
    {"Mask  Plane", pkPlane, {}},
    {"色相", pkInteger, {.Int = &cIntRangeM360_360}},
    {"彩度", pkInteger, {.Int = &cIntRangeM100_100}},
    {"明度", pkInteger, {.Int = &cIntRangeM100_100}},
    {"単色化", pkChoice, {.Choices = cChoicesNoYes}},
};
constexpr TPaintFunctionRec cNilPictureHSI =
    Def("NilPictureHSI", rkNone, cParamsNilPictureHSI, ArgNumbers({1, 3, 4, 5}));

constexpr TPaintParamDesc cParamsNilPictureHLS[] = {
    {"Dst Picture", pkPicture, {}},
    {"Mask  Plane", pkPlane, {}},
    {"色相", pkInteger, {.Int = &cIntRangeM360_360}},
    {"彩度", pkInteger, {.Int = &cIntRangeM100_100}},
    {"輝度", pkInteger, {.Int = &cIntRangeM100_100}},
    {"単色化", pkChoice, {.Choices = cChoicesNoYes}},
};
constexpr TPaintFunctionRec cNilPictureHLS =
    Def("NilPictureHLS", rkNone, cParamsNilPictureHLS, ArgNumbers({1, 3, 4, 5, 6}));

constexpr TPaintParamDesc cParamsNilPictureYCbCr[] = {
    {"Dst Picture", pkPicture, {}},
    {"Mask  Plane", pkPlane, {}},
    {"Y", pkInteger, {.Int = &cIntRangeM100_100}},
    {"Cb", pkInteger, {.Int = &cIntRangeM100_100}},
    {"Cr", pkInteger, {.Int = &cIntRangeM100_100}},
    {"単色化", pkChoice, {.Choices = cChoicesNoYes}},
};
constexpr TPaintFunctionRec cNilPictureYCbCr =
    Def("NilPictureYCbCr", rkNone, cParamsNilPictureYCbCr, ArgNumbers({1, 3, 4, 5}));

// The emboss and directional-blur kernels take a fractional "Size", so it is real.
constexpr TPaintParamDesc cParamsNilPictureFilterEmboss[] = {
    {"Dest  Picture", pkPicture, {}},
    {"Mask  Plane", pkPlane, {}},
    {"Size", pkReal, {.Real = &cRealRange0_50}},
    {"角度", pkInteger, {.Int = &cIntRangeM360_360}},
    {"適用度(%)", pkInteger, {.Int = &cIntRange0_200Bar0_200}},
    {"Offset", pkInteger, {.Int = &cIntRangeM255_255}},
    {"Min", pkInteger, {.Int = &cIntRange0_255}},
    {"Max", pkInteger, {.Int = &cIntRange0_255}},
    {"ラップ", pkChoice, {.Choices = cChoicesNoYes}},
};
constexpr TPaintFunctionRec cNilPictureFilterEmboss =
    Def("NilPictureFilterEmboss", rkNone, cParamsNilPictureFilterEmboss, ArgNumbers({1, 3, 4, 5}));

constexpr TPaintParamDesc cParamsNilPlaneFilterEmboss[] = {
    {"Dest  Plane", pkPlane, {}},
    {"Mask  Plane", pkPlane, {}},
    {"Size", pkReal, {.Real = &cRealRange0_50}},
    {"角度", pkInteger, {.Int = &cIntRangeM360_360}},
    {"適用度(%)", pkInteger, {.Int = &cIntRange0_200Bar0_200}},
    {"Offset", pkInteger, {.Int = &cIntRangeM255_255}},
    {"Min", pkInteger, {.Int = &cIntRange0_255}},
    {"Max", pkInteger, {.Int = &cIntRange0_255}},
    {"ラップ", pkChoice, {.Choices = cChoicesNoYes}},
};
constexpr TPaintFunctionRec cNilPlaneFilterEmboss =
    Def("NilPlaneFilterEmboss", rkNone, cParamsNilPlaneFilterEmboss, ArgNumbers({1, 3, 4, 5}));

constexpr TPaintParamDesc cParamsNilPictureFilterGradateMove[] = {
    {"Dest  Picture", pkPicture, {}},
    {"Mask  Plane", pkPlane, {}},
    {"Size", pkReal, {.Real = &cRealRange0_1000}},
    {"角度", pkInteger, {.Int = &cIntRangeM360_360}},
    {"ラップ", pkChoice, {.Choices = cChoicesNoYes}},
};
constexpr TPaintFunctionRec cNilPictureFilterGradateMove =
    Def("NilPictureFilterGradateMove", rkNone, cParamsNilPictureFilterGradateMove, ArgNumbers({1, 3, 4}));

constexpr TPaintParamDesc cParamsNilPlaneFilterGradateMove[] = {
    {"Dest  Plane", pkPlane, {}},
    {"Mask  Plane", pkPlane, {}},
    {"Size", pkReal, {.Real = &cRealRange0_1000}},
    {"角度", pkInteger, {.Int = &cIntRangeM360_360}},
    {"ラップ", pkChoice, {.Choices = cChoicesNoYes}},
};
constexpr TPaintFunctionRec cNilPlaneFilterGradateMove =
    Def("NilPlaneFilterGradateMove", rkNone, cParamsNilPlaneFilterGradateMove, ArgNumbers({1, 3, 4}));

constexpr TPaintParamDesc cParamsNilPictureGlass1[] = {
    {"Dest Picture", pkPicture, {}},
    {"Mask Plane", pkPlane, {}},
    {"Bump Plane", pkPlane, {}},
    {"iDepth", pkInteger, {.Int = &cIntRange0_100}},
    {"ラップ", pkChoice, {.Choices = cChoicesNoYes}},
};
constexpr TPaintFunctionRec cNilPictureGlass1 =
    Def("NilPictureGlass1", rkNone, cParamsNilPictureGlass1, ArgNumbers({1, 4, 5}));

constexpr TPaintParamDesc cParamsNilPictureLight[] = {
    {"Dest Picture", pkPicture, {}},
    {"Mask Plane", pkPlane, {}},
    {"Bump Plane", pkPlane, {}},
    {"照明設定", pkLights, {}},
    {"Path", pkPath, {}},
    {"反射画像", pkReflection, {}},
    {"反射率", pkInteger, {.Int = &cIntRange0_100}},
    {"反射の画質", pkChoice, {.Choices = cChoicesQuality}},
};
constexpr TPaintFunctionRec cNilPictureLight =
    Def("NilPictureLight", rkNone, cParamsNilPictureLight, ArgNumbers({1, 4}));

constexpr TPaintParamDesc cParamsNilPlaneToneMetal[] = {
    {"Dest Plane", pkPlane, {}},
    {"Mask Plane", pkPlane, {}},
    {"波の数", pkInteger, {.Int = &cIntRange1_10}},
};
constexpr TPaintFunctionRec cNilPlaneToneMetal =
    Def("NilPlaneToneMetal", rkNone, cParamsNilPlaneToneMetal, ArgNumbers({1, 3}));

constexpr TPaintParamDesc cParamsNilPictureToneMetal[] = {
    {"Dest Picture", pkPicture, {}},
    {"Mask Plane", pkPlane, {}},
    {"波の数", pkInteger, {.Int = &cIntRange1_10}},
};
constexpr TPaintFunctionRec cNilPictureToneMetal =
    Def("NilPictureToneMetal", rkNone, cParamsNilPictureToneMetal, ArgNumbers({1, 3}));

constexpr TPaintParamDesc cParamsNilPlaneLevel[] = {
    {"Dst   Plane", pkPlane, {}},
    {"Mask  Plane", pkPlane, {}},
    {"入力最小値", pkInteger, {.Int = &cIntRange0_255}},
    {"入力最大値", pkInteger, {.Int = &cIntRange0_255}},
    {"ガンマ値", pkReal, {.Real = &cRealRangeGamma}},
    {"出力最小値", pkInteger, {.Int = &cIntRange0_255}},
    {"出力最大値", pkInteger, {.Int = &cIntRange0_255}},
    {"範囲指定", pkChoice, {.Choices = cChoicesNoYes}},
};
constexpr TPaintFunctionRec cNilPlaneLevel =
    Def("NilPlaneLevel", rkNone, cParamsNilPlaneLevel, ArgNumbers({1, 3, 4, 5, 6, 7}));

constexpr TPaintParamDesc cParamsNilPictureLevel[] = {
    {"Dst   Picture", pkPicture, {}},
    {"Mask  Plane", pkPlane, {}},
    {"入力最小値", pkInteger, {.Int = &cIntRange0_255}},
    {"入力最大値", pkInteger, {.Int = &cIntRange0_255}},
    {"ガンマ値", pkReal, {.Real = &cRealRangeGamma}},
    {"出力最小値", pkInteger, {.Int = &cIntRange0_255}},
    {"出力最大値", pkInteger, {.Int = &cIntRange0_255}},
    {"範囲指定", pkChoice, {.Choices = cChoicesNoYes}},
};
constexpr TPaintFunctionRec cNilPictureLevel =
    Def("NilPictureLevel", rkNone, cParamsNilPictureLevel, ArgNumbers({1, 3, 4, 5, 6, 7}));

constexpr TPaintParamDesc cParamsNilPictureFilterDiffuse[] = {
    {"Dest  Picture", pkPicture, {}},
    {"Mask  Plane", pkPlane, {}},
    {"種類", pkChoice, {.Choices = cChoicesDiffuse}},
    {"回数", pkInteger, {.Int = &cIntRange1_50}},
    {"ラップ", pkChoice, {.Choices = cChoicesNoYes}},
};
constexpr TPaintFunctionRec cNilPictureFilterDiffuse =
    Def("NilPictureFilterDiffuse", rkNone, cParamsNilPictureFilterDiffuse, ArgNumbers({1, 3, 4, 5}));

constexpr TPaintParamDesc cParamsNilPlaneFilterSize[] = {
    {"Dest  Plane", pkPlane, {}},
    {"Mask  Plane", pkPlane, {}},
    {"Type", pkChoice, {.Choices = cChoicesFilterSize}},
    {"Size", pkReal, {.Real = &cRealRange0_50}},
    {"回数", pkInteger, {.Int = &cIntRange0_10Bar0_5}},
    {"ラップ", pkChoice, {.Choices = cChoicesNoYes}},
};
constexpr TPaintFunctionRec cNilPlaneFilterSize =
    Def("NilPlaneFilterSize", rkNone, cParamsNilPlaneFilterSize, ArgNumbers({1, 3, 4, 5}));

constexpr TPaintParamDesc cParamsNilPictureFilterSize[] = {
    {"Dest  Picture", pkPicture, {}},
    {"Mask  Plane", pkPlane, {}},
    {"Type", pkChoice, {.Choices = cChoicesFilterSize}},
    {"Size", pkReal, {.Real = &cRealRange0_50}},
    {"回数", pkInteger, {.Int = &cIntRange0_10Bar0_5}},
    {"ラップ", pkChoice, {.Choices = cChoicesNoYes}},
};
constexpr TPaintFunctionRec cNilPictureFilterSize =
    Def("NilPictureFilterSize", rkNone, cParamsNilPictureFilterSize, ArgNumbers({1, 3, 4, 5}));

constexpr TPaintParamDesc cParamsNilPlaneFilterNoParam[] = {
    {"Dest  Plane", pkPlane, {}},
    {"Mask  Plane", pkPlane, {}},
    {"Type", pkChoice, {.Choices = cChoicesNoParam}},
    {"ラップ", pkChoice, {.Choices = cChoicesNoYes}},
};
constexpr TPaintFunctionRec cNilPlaneFilterNoParam =
    Def("NilPlaneFilterNoParam", rkNone, cParamsNilPlaneFilterNoParam, ArgNumbers({1}));

constexpr TPaintParamDesc cParamsNilPictureFilterNoParam[] = {
    {"Dest  Picture", pkPicture, {}},
    {"Mask  Plane", pkPlane, {}},
    {"Type", pkChoice, {.Choices = cChoicesNoParam}},
    {"ラップ", pkChoice, {.Choices = cChoicesNoYes}},
};
constexpr TPaintFunctionRec cNilPictureFilterNoParam =
    Def("NilPictureFilterNoParam", rkNone, cParamsNilPictureFilterNoParam, ArgNumbers({1}));

constexpr TPaintParamDesc cParamsNilPlaneFilterSobel[] = {
    {"Dest  Plane", pkPlane, {}},
    {"Mask  Plane", pkPlane, {}},
};
constexpr TPaintFunctionRec cNilPlaneFilterSobel =
    Def("NilPlaneFilterSobel", rkNone, cParamsNilPlaneFilterSobel, ArgNumbers({1}));

constexpr TPaintParamDesc cParamsNilPictureFilterSobel[] = {
    {"Dest  Picture", pkPicture, {}},
    {"Mask  Plane", pkPlane, {}},
};
constexpr TPaintFunctionRec cNilPictureFilterSobel =
    Def("NilPictureFilterSobel", rkNone, cParamsNilPictureFilterSobel, ArgNumbers({1}));

constexpr TPaintParamDesc cParamsNilPlaneFilterDiffuse[] = {
    {"Dest  Plane", pkPlane, {}},
    {"Mask  Plane", pkPlane, {}},
    {"種類", pkChoice, {.Choices = cChoicesDiffuse}},
    {"回数", pkInteger, {.Int = &cIntRange1_50}},
    {"ラップ", pkChoice, {.Choices = cChoicesNoYes}},
};
constexpr TPaintFunctionRec cNilPlaneFilterDiffuse =
    Def("NilPlaneFilterDiffuse", rkNone, cParamsNilPlaneFilterDiffuse, ArgNumbers({1, 3, 4, 5}));

constexpr TPaintParamDesc cParamsNilPlaneCloud[] = {
    {"Dst   Plane", pkPlane, {}},
    {"Mask  Plane", pkPlane, {}},
    {"ベース値", pkInteger, {.Int = &cIntRange0_255}},
    {"高さ", pkInteger, {.Int = &cIntRange0_255}},
    {"減衰", pkInteger, {.Int = &cIntRange0_255}},
};
constexpr TPaintFunctionRec cNilPlaneCloud =
    Def("NilPlaneCloud", rkNone, cParamsNilPlaneCloud, ArgNumbers({1, 3, 4, 5}));

constexpr TPaintParamDesc cParamsNilPictureCloud[] = {
    {"Dst   Picture", pkPicture, {}},
    {"Mask  Plane", pkPlane, {}},
    {"ベース値", pkInteger, {.Int = &cIntRange0_255}},
    {"高さ", pkInteger, {.Int = &cIntRange0_255}},
    {"減衰", pkInteger, {.Int = &cIntRange0_255}},
};
constexpr TPaintFunctionRec cNilPictureCloud =
    Def("NilPictureCloud", rkNone, cParamsNilPictureCloud, ArgNumbers({1, 3, 4, 5}));

constexpr TPaintParamDesc cParamsNilPictureNoise[] = {
    {"Dst   Picture", pkPicture, {}},
    {"Mask  Plane", pkPlane, {}},
    {"白黒/カラー", pkChoice, {.Choices = cChoicesMonoColor}},
    {"種類", pkChoice, {.Choices = cChoicesNoiseKind}},
    {"大きさ", pkInteger, {.Int = &cIntRange0_1000}},
    {"標準偏差*100", pkInteger, {.Int = &cIntRange1_100}},
};
constexpr TPaintFunctionRec cNilPictureNoise =
    Def("NilPictureNoise", rkNone, cParamsNilPictureNoise, ArgNumbers({1, 3, 4, 5, 6}));

constexpr TPaintParamDesc cParamsNilPlaneStainedGlass[] = {
    {"Dest  Plane", pkPlane, {}},
    {"Mask  Plane", pkPlane, {}},
    {"角数", pkChoice, {.Choices = cChoicesCorners}},
    {"大きさ", pkInteger, {.Int = &cIntRange0_100}},
    {"線幅", pkInteger, {.Int = &cIntRange0_50}},
    {"線の色", pkColor, {}},
    {"崩れ具合", pkInteger, {.Int = &cIntRange0_100}},
    {"iDx", pkInteger, {.Int = &cIntRangeM200_200}},
    {"iDy", pkInteger, {.Int = &cIntRangeM200_200}},
    {"ラップ", pkChoice, {.Choices = cChoicesNoYes}},
    {"アンチエリアス", pkChoice, {.Choices = cChoicesNoYes}},
};
constexpr TPaintFunctionRec cNilPlaneStainedGlass =
    Def("NilPlaneStainedGlass", rkNone, cParamsNilPlaneStainedGlass, ArgNumbers({1, 3, 4, 5}));

constexpr TPaintParamDesc cParamsNilPictureStainedGlass[] = {
    {"Dest  Picture", pkPicture, {}},
    {"Mask  Plane", pkPlane, {}},
    {"角数", pkChoice, {.Choices = cChoicesCorners}},
    {"大きさ", pkInteger, {.Int = &cIntRange0_100}},
    {"線幅", pkInteger, {.Int = &cIntRange0_50}},
    {"線の色", pkColor, {}},
    {"崩れ具合", pkInteger, {.Int = &cIntRange0_100}},
    {"iDx", pkInteger, {.Int = &cIntRangeM200_200}},
    {"iDy", pkInteger, {.Int = &cIntRangeM200_200}},
    {"ラップ", pkChoice, {.Choices = cChoicesNoYes}},
    {"アンチエリアス", pkChoice, {.Choices = cChoicesNoYes}},
};
constexpr TPaintFunctionRec cNilPictureStainedGlass =
    Def("NilPictureStainedGlass", rkNone, cParamsNilPictureStainedGlass, ArgNumbers({1, 3, 4, 5}));

constexpr TPaintParamDesc cParamsPathRough[] = {
    {"パス", pkPath, {}},
    {"ピッチ下限", pkInteger, {.Int = nullptr}},
    {"ピッチ上限", pkInteger, {.Int = nullptr}},
    {"振り幅下限", pkInteger, {.Int = nullptr}},
    {"振り幅上限", pkInteger, {.Int = nullptr}},
    {"前の影響力", pkReal, {.Real = nullptr}},
    {"曲線0／直線1", pkInteger, {.Int = nullptr}},
};
constexpr TPaintFunctionRec cPathRough = Def("PathRough", rkPath, cParamsPathRough, TArgSet{});

// The table's order; NilPictureFilterDiffuse stands at 38 and again at 46.
constexpr const TPaintFunctionRec* cTableOrder[] = {
    &cDummy,
    &cSetRandomSeed,
    &cPlaneSetReferSize,
    &cPlaneMake,
    &cPlaneMakeForPath,
    &cPlaneMakeForPath2,
    &cPlaneDuplicate,
    &cNilPlaneMove,
    &cNilPlaneMerge,
    &cNilPlaneDrawPathGradation,
    &cNilPlanePaintFill2,
    &cNilPlanePaintFillCol,
    &cNilPlanePaintFillCol100,
    &cNilPlaneFillCol,
    &cNilPlaneNoise,
    &cPictureMake,
    &cPictureMakeForPath2,
    &cPictureDuplicate,
    &cNilPictureMerge,
    &cNilPictureMergePlane,
    &cNilPictureFillColEmboss,
    &cNilPictureDrawPathGradation,
    &cNilPicturePaintFill2,
    &cNilPlaneContBright,
    &cNilPictureContBright,
    &cNilPictureHSI,
    &cNilPictureHLS,
    &cNilPictureYCbCr,
    &cNilPictureFilterEmboss,
    &cNilPlaneFilterEmboss,
    &cNilPictureFilterGradateMove,
    &cNilPlaneFilterGradateMove,
    &cNilPictureGlass1,
    &cNilPictureLight,
    &cNilPlaneToneMetal,
    &cNilPictureToneMetal,
    &cNilPlaneLevel,
    &cNilPictureLevel,
    &cNilPictureFilterDiffuse,
    &cNilPlaneFilterSize,
    &cNilPictureFilterSize,
    &cNilPlaneFilterNoParam,
    &cNilPictureFilterNoParam,
    &cNilPlaneFilterSobel,
    &cNilPictureFilterSobel,
    &cNilPlaneFilterDiffuse,
    &cNilPictureFilterDiffuse,
    &cNilPlaneCloud,
    &cNilPictureCloud,
    &cNilPictureNoise,
    &cNilPlaneStainedGlass,
    &cNilPictureStainedGlass,
    &cPathRough,
};
static_assert(std::size(cTableOrder) == cPaintFunctionCount);

struct TTableHolder {
    TPaintFunctionRec* Table = MakePaintFunctionTable();
    TTableHolder() = default;
    TTableHolder(const TTableHolder&) = delete;
    TTableHolder& operator=(const TTableHolder&) = delete;
    ~TTableHolder()
    {
        if (Table)
            GlobalFree(Table);
    }
};

} // namespace

TPaintFunctionRec* MakePaintFunctionTable()
{
    constexpr size_t Count = cPaintFunctionCount + 1;
    void* Block = GlobalAlloc(GMEM_FIXED, Count * sizeof(TPaintFunctionRec));
    if (!Block)
        return nullptr;
    auto* Table = static_cast<TPaintFunctionRec*>(Block);
    for (int32_t I = 0; I < cPaintFunctionCount; ++I) {
        new (&Table[I]) TPaintFunctionRec(*cTableOrder[I]);
        Table[I].Entry = PaintFunctionEntry(Table[I].Name);
    }
    new (&Table[cPaintFunctionCount]) TPaintFunctionRec{nullptr, rkNone, 0, nullptr, nullptr, TArgSet{}};
    return Table;
}

const TPaintFunctionRec* PaintFunctionTable()
{
    static TTableHolder Holder;
    return Holder.Table;
}

namespace {
// Made at start-up, so that no later allocation count sees it appear.
[[maybe_unused]] const TPaintFunctionRec* const gStartUpTable = PaintFunctionTable();
} // namespace

int32_t FindPaintFunction(const TPaintFunctionRec* Table, std::string_view Name)
{
    if (!Table || Name.empty())
        return -1;
    for (int32_t I = 0; Table[I].Name; ++I)
        if (Name == Table[I].Name)
            return I;
    return -1;
}

int32_t FindPaintFunction(std::string_view Name)
{
    return FindPaintFunction(PaintFunctionTable(), Name);
}

int32_t IndexOfChoice(const char* Text, const char* const* Choices)
{
    if (!Text || !Choices)
        return 0;
    for (int32_t I = 0; Choices[I]; ++I)
        if (std::strcmp(Text, Choices[I]) == 0)
            return I;
    return 0;
}

int32_t CheckRequiredArgs(const TArgSet& Set, std::span<void* const> Args)
{
    for (int32_t I = 0; I < 256; ++I)
        if (Set.Contains(I) && (static_cast<size_t>(I) >= Args.size() || !Args[I]))
            return I + 1;
    return 0;
}

TIntArg ReadIntArg(const char* Text, int32_t Default)
{
    int32_t V = 0;
    if (Text && *Text && TryStrToInt(Text, V))
        return {V, true};
    return {Default, false};
}

TRealArg ReadRealArg(const char* Text, double Default)
{
    // The reader never yields NaN for a number, so NaN marks a failed read.
    const double V = Text ? StrToFloatDef(Text, std::numeric_limits<double>::quiet_NaN())
                          : std::numeric_limits<double>::quiet_NaN();
    if (std::isnan(V))
        return {Default, false};
    return {V, true};
}

double ParamArgFloor(const TPaintParamDesc& Desc)
{
    constexpr double Floor = -999;
    if (Desc.Kind == pkInteger && Desc.Limits.Int)
        return std::min<double>(Floor, Desc.Limits.Int->Min);
    if (Desc.Kind == pkReal && Desc.Limits.Real)
        return std::min(Floor, Desc.Limits.Real->Min);
    return Floor;
}

int32_t CheckNumberArg(bool Parsed, double Value, double Floor, int32_t Number)
{
    if (!Parsed || Value < Floor)
        return PaintArgRefused(Number);
    return 0;
}
