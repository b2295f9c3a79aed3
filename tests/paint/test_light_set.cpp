// Light sets: the text form, its round trip and the malformed texts.
#include "paint/light_set.h"

#include <gtest/gtest.h>

namespace {

TrecLightUnion Light(const std::string& Name, uint8_t R, uint8_t G, uint8_t B, int32_t Intensity, uint8_t Kind,
                     std::initializer_list<double> Shape = {})
{
    TrecLightUnion L;
    L.Name = Name;
    L.Color[0] = B;
    L.Color[1] = G;
    L.Color[2] = R;
    L.Intensity = Intensity;
    L.Kind = Kind;
    int I = 0;
    for (double V : Shape)
        L.Shape[I++] = V;
    return L;
}

const std::string ExampleText = "50,FFFFFF80,20,0,1,1,AFF0000100,0,";

// Lights, ambient colour (blue, green, red), Ks, Sh, M, Dp.
TLightsAmb ExampleSet()
{
    return {{Light("A", 255, 0, 0, 100, LightKindAmbient)}, {255, 255, 255}, 80, 20, 0, 50};
}

} // namespace

TEST(LightSet, ExampleTextColoursAndAppending)
{
    EXPECT_EQ(LightsToStr(ExampleSet()), ExampleText);
    TLightsAmb S;
    ASSERT_TRUE(StrToLights(S, ExampleText));
    EXPECT_EQ(S, ExampleSet());
    EXPECT_FALSE(StrToLights(S, "")); // an empty text changes nothing
    EXPECT_EQ(S, ExampleSet());
    // Colours run red, green, blue; reading appends lights.
    ASSERT_TRUE(StrToLights(S, "1.5,12345610,2,3,1,1,B00FF0050,0,"));
    EXPECT_EQ(S, (TLightsAmb{{ExampleSet().Lights[0], Light("B", 0, 255, 0, 50, LightKindAmbient)},
                             {0x56, 0x34, 0x12}, 10, 2, 3, 1.5}));
}

TEST(LightSet, EveryKindRoundTripsShapesAndNameLengths)
{
    const TLightsAmb S{{Light("環境", 10, 20, 30, 40, LightKindAmbient),
                        Light("a,b", 255, 255, 0, -60, LightKindPoint, {0.1, 0.2, 1.0 / 3, -0.5}),
                        Light("", 0, 0, 255, 100, LightKindParallel, {1, 0, 0, 1}),
                        Light("線", 1, 2, 3, 4, LightKindLine, {0, 0.125, 0.25, 0.375, 0.5, 0.625, 0.75, 1e-7}),
                        Light("スポット", 9, 8, 7, 6, LightKindSpot, {0.5, 0.5, 3.14159, 0.8, 0.4, 0.2}),
                        Light("x", 0, 0, 0, 0, 9)},
                       {1, 2, 3}, 55, 7, 100, 12.75};
    const std::string Text = LightsToStr(S);
    TLightsAmb Back;
    ASSERT_TRUE(StrToLights(Back, Text));
    EXPECT_EQ(Back, S);
    EXPECT_EQ(LightsToStr(Back), Text);
    TLightsAmb One;
    One.Lights.push_back(Light("S", 255, 0, 0, 100, LightKindSpot, {0.5, 0.25, 1, 2, 3, 0.125}));
    EXPECT_EQ(LightsToStr(One), "0,0000000,0,0,1,1,SFF0000100,4,0.5,0.25,1,2,3,0.125,"); // a point and four reals
    One.Lights[0] = Light("P", 0, 0, 0, 1, LightKindParallel, {1, 2, 3, 4, 5, 6});
    EXPECT_EQ(LightsToStr(One), "0,0000000,0,0,1,1,P0000001,2,1,2,3,4,");
    // Kinds beyond the table carry no shape.
    TLightsAmb R;
    ASSERT_TRUE(StrToLights(R, "0,0000000,0,0,2,1,Q0000001,7,1,R0000002,0,"));
    ASSERT_EQ(R.Lights.size(), 2u);
    EXPECT_EQ(R.Lights[0].Kind, 7);
    EXPECT_EQ(R.Lights[1].Name, "R");
    // The name length counts stored bytes: two double-byte characters.
    One.Lights[0] = Light("光源", 0, 0, 0, 0, LightKindAmbient);
    EXPECT_EQ(LightsToStr(One), "0,0000000,0,0,1,4,光源0000000,0,");
    TLightsAmb Named;
    ASSERT_TRUE(StrToLights(Named, "0,0000000,0,0,1,4,光源0000000,0,"));
    EXPECT_EQ(Named.Lights.at(0).Name, "光源");
    // A length that ends inside a character.
    TLightsAmb Cut;
    EXPECT_FALSE(StrToLights(Cut, "0,0000000,0,0,1,3,光源0000000,0,"));
    EXPECT_TRUE(Cut.Lights.empty());
}

TEST(LightSet, MalformedTextsReturnFalseKeepingWhatWasRead)
{
    // A second light whose name length is negative, runs past the end, or is
    // not a number.
    for (const std::string Tail : {"-1,B", "9,BFF0000100,0", "x,B", "5,BC"}) {
        TLightsAmb S;
        EXPECT_FALSE(StrToLights(S, "50,FFFFFF80,20,0,2,1,AFF0000100,0," + Tail)) << Tail;
        EXPECT_EQ(S, ExampleSet()) << Tail;
    }
    // A bad real, integer or colour.
    TLightsAmb S;
    EXPECT_FALSE(StrToLights(S, "abc,FFFFFF80,20,0,0,"));
    EXPECT_EQ(S, TLightsAmb{});
    EXPECT_FALSE(StrToLights(S, "5,FFFFFF8x,20,0,0,"));
    EXPECT_EQ(S, (TLightsAmb{{}, {255, 255, 255}, 0, 0, 0, 5}));
    TLightsAmb C;
    EXPECT_FALSE(StrToLights(C, "6,FFGFFF80,20,0,0,"));
    EXPECT_EQ(C, (TLightsAmb{{}, {0, 0, 0}, 0, 0, 0, 6}));
    EXPECT_FALSE(StrToLights(C, "7,FFF"));
    // A light cut short in its shape is not appended.
    TLightsAmb P;
    EXPECT_FALSE(StrToLights(P, "0,0000000,0,0,1,1,P0000001,1,0.5,0.5,"));
    EXPECT_TRUE(P.Lights.empty());
}
