/* A fake TWAIN source manager with one data source that delivers small
   packed DIBs by native transfer. Image k (from 1) is 2 x 1 pixels, 24 bits:
   the left pixel has blue = k mod 256, green = k div 256, red = 0x5A; the
   right one blue 1, green 2, red 3. Every call is logged for the tests. */
#include "fake_dsm.h"

#include <stdlib.h>
#include <string.h>

#define EXPORT __attribute__((visibility("default")))

enum { MaxLog = 10000 };

static struct {
    int ToSource;
    uint32_t DG;
    uint16_t DAT;
    uint16_t MSG;
} Log[MaxLog];
static int LogCount;

static int Mode;
static int Remaining;
static int Delivered;
static int Signalled;
static int Done;
static int Enabled;
static uint16_t SetItems[16];
static int SetCount = -1;
static void* OpenParent;
static void* UIParent;

EXPORT void FakeDsmReset(int Images, int NewMode)
{
    LogCount = 0;
    Mode = NewMode;
    Remaining = Images;
    Delivered = 0;
    Signalled = 0;
    Done = 0;
    Enabled = 0;
    SetCount = -1;
    OpenParent = NULL;
    UIParent = NULL;
}

EXPORT int FakeDsmCallCount(void)
{
    return LogCount;
}

EXPORT void FakeDsmCall(int Index, int* ToSource, uint32_t* DG, uint16_t* DAT, uint16_t* MSG)
{
    if (Index < 0 || Index >= LogCount || Index >= MaxLog) {
        *ToSource = -1;
        *DG = 0;
        *DAT = 0;
        *MSG = 0;
        return;
    }
    *ToSource = Log[Index].ToSource;
    *DG = Log[Index].DG;
    *DAT = Log[Index].DAT;
    *MSG = Log[Index].MSG;
}

EXPORT int FakeDsmSetPixelTypes(uint16_t* Items, int Max)
{
    for (int I = 0; I < SetCount && I < Max; ++I)
        Items[I] = SetItems[I];
    return SetCount;
}

EXPORT void FakeDsmWindows(void** Parent, void** UI)
{
    *Parent = OpenParent;
    *UI = UIParent;
}

EXPORT void FakeDsmLayout(int* Sizes)
{
    Sizes[0] = (int)sizeof(FAKE_IDENTITY);
    Sizes[1] = (int)sizeof(FAKE_USERINTERFACE);
    Sizes[2] = (int)sizeof(FAKE_EVENT);
    Sizes[3] = (int)sizeof(FAKE_PENDINGXFERS);
    Sizes[4] = (int)sizeof(FAKE_CAPABILITY);
}

static void Put32(uint8_t* P, uint32_t V)
{
    P[0] = (uint8_t)V;
    P[1] = (uint8_t)(V >> 8);
    P[2] = (uint8_t)(V >> 16);
    P[3] = (uint8_t)(V >> 24);
}

static void* MakeImage(int K)
{
    uint8_t* P = calloc(48, 1);
    Put32(P, 40);
    Put32(P + 4, 2);
    Put32(P + 8, 1);
    P[12] = 1;
    P[14] = 24;
    P[40] = (uint8_t)(K & 0xFF);
    P[41] = (uint8_t)(K >> 8);
    P[42] = 0x5A;
    P[43] = 1;
    P[44] = 2;
    P[45] = 3;
    return P;
}

static void FillIdentity(FAKE_IDENTITY* Id)
{
    memset(Id, 0, sizeof(*Id));
    Id->Id = 7;
    strcpy(Id->ProductName, "Fake Source");
}

static uint16_t Manager(uint16_t DAT, uint16_t MSG, void* Data)
{
    if (DAT == 0x0004) { /* DAT_PARENT */
        if (MSG == 0x0301)
            OpenParent = *(void**)Data;
        return 0;
    }
    if (DAT == 0x0003) { /* DAT_IDENTITY */
        if (MSG == 0x0401) { /* MSG_OPENDS */
            if (Mode == FAKE_NO_SOURCE)
                return 1;
            FillIdentity((FAKE_IDENTITY*)Data);
            return 0;
        }
        if (MSG == 0x0403) { /* MSG_USERSELECT */
            if (Mode == FAKE_SELECT_CANCEL)
                return 3;
            FillIdentity((FAKE_IDENTITY*)Data);
            return 0;
        }
        return 0; /* MSG_CLOSEDS */
    }
    if (DAT == 0x0008) { /* DAT_STATUS */
        ((FAKE_STATUS*)Data)->ConditionCode = 9;
        return 0;
    }
    return 1;
}

static uint16_t Capability(uint16_t MSG, FAKE_CAPABILITY* Cap)
{
    if (Cap->Cap != 0x0101)
        return 1;
    if (MSG == 0x0001) { /* MSG_GET */
        if (Mode == FAKE_ONEVALUE) {
            uint8_t* P = calloc(6, 1);
            P[0] = 4; /* TWTY_UINT16 */
            P[2] = 2;
            Cap->ConType = 5;
            Cap->hContainer = P;
            return 0;
        }
        FAKE_ENUMERATION* E = calloc(1, sizeof(FAKE_ENUMERATION));
        E->ItemType = 4;
        E->NumItems = 3;
        E->CurrentIndex = 2;
        E->DefaultIndex = 2;
        E->ItemList[0] = 0;
        E->ItemList[1] = 1;
        E->ItemList[2] = 2;
        Cap->ConType = 4;
        Cap->hContainer = E;
        return 0;
    }
    if (MSG == 0x0006) { /* MSG_SET */
        if (Cap->ConType != 4 || !Cap->hContainer)
            return 1;
        const FAKE_ENUMERATION* E = (const FAKE_ENUMERATION*)Cap->hContainer;
        SetCount = (int)E->NumItems;
        if (SetCount > 16)
            SetCount = 16;
        memcpy(SetItems, E->ItemList, (size_t)SetCount * 2);
        if (E->CurrentIndex != 0xFFFFFFFFu || E->DefaultIndex != 0xFFFFFFFFu)
            SetCount = -2;
        return 0;
    }
    return 1;
}

static uint16_t Source(uint32_t DG, uint16_t DAT, uint16_t MSG, void* Data)
{
    if (DG == 2 && DAT == 0x0104 && MSG == 0x0001) { /* native transfer */
        switch (Mode) {
        case FAKE_XFER_FAILS:
            /* A program that kept asking would hang its test: give in. */
            return ++Delivered < 50 ? 1 : 3;
        case FAKE_XFER_CANCEL:
            return 3;
        case FAKE_SHORT_IMAGE: {
            uint8_t* P = calloc(48, 1);
            Put32(P, 40);
            Put32(P + 4, 64);
            Put32(P + 8, 64);
            P[12] = 1;
            P[14] = 24;
            *(void**)Data = P;
            return 6;
        }
        default:
            *(void**)Data = MakeImage(++Delivered);
            return 6;
        }
    }
    if (DG != 1)
        return 1;
    switch (DAT) {
    case 0x0001:
        return Capability(MSG, (FAKE_CAPABILITY*)Data);
    case 0x0002: { /* DAT_EVENT */
        FAKE_EVENT* E = (FAKE_EVENT*)Data;
        E->TWMessage = 0;
        if (!Enabled || !E->pEvent)
            return 5;
        if (Mode == FAKE_USER_CLOSES || Done) {
            E->TWMessage = 0x0102;
            return 4;
        }
        if (!Signalled && Remaining > 0) {
            Signalled = 1;
            E->TWMessage = 0x0101;
            return 4;
        }
        return 5;
    }
    case 0x0005: { /* DAT_PENDINGXFERS */
        FAKE_PENDINGXFERS* P = (FAKE_PENDINGXFERS*)Data;
        if (MSG == 0x0701) {
            if (Mode == FAKE_ENDLESS)
                Remaining = Delivered < 5000 ? 1 : 0;
            else if (Mode == FAKE_XFER_CANCEL || --Remaining < 0)
                Remaining = 0;
        } else if (MSG == 0x0007) {
            Remaining = 0;
        }
        if (Remaining == 0)
            Done = 1;
        P->Count = (uint16_t)Remaining;
        return 0;
    }
    case 0x0008:
        ((FAKE_STATUS*)Data)->ConditionCode = 9;
        return 0;
    case 0x0009: /* DAT_USERINTERFACE */
        if (MSG == 0x0502) {
            if (Mode == FAKE_ENABLE_FAILS)
                return 1;
            UIParent = ((FAKE_USERINTERFACE*)Data)->hParent;
            Enabled = 1;
        } else if (MSG == 0x0501) {
            Enabled = 0;
        }
        return 0;
    default:
        return 1;
    }
}

EXPORT uint16_t DSM_Entry(FAKE_IDENTITY* Origin, FAKE_IDENTITY* Dest, uint32_t DG, uint16_t DAT,
                          uint16_t MSG, void* Data)
{
    if (LogCount < MaxLog) {
        Log[LogCount].ToSource = Dest != NULL;
        Log[LogCount].DG = DG;
        Log[LogCount].DAT = DAT;
        Log[LogCount].MSG = MSG;
    }
    ++LogCount;
    if (!Origin)
        return 1;
    return Dest ? Source(DG, DAT, MSG, Data) : Manager(DAT, MSG, Data);
}
