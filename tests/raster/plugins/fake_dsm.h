/* The fake TWAIN source manager with one data source, "Fake Source": its
   protocol records (2-byte packing, as the program's) and the controls the
   tests reach through dlsym. */
#ifndef TAVRO_TEST_FAKE_DSM_H
#define TAVRO_TEST_FAKE_DSM_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#pragma pack(push, 2)
typedef struct {
    uint32_t Id;
    uint16_t MajorNum;
    uint16_t MinorNum;
    uint16_t Language;
    uint16_t Country;
    char Info[34];
    uint16_t ProtocolMajor;
    uint16_t ProtocolMinor;
    uint32_t SupportedGroups;
    char Manufacturer[34];
    char ProductFamily[34];
    char ProductName[34];
} FAKE_IDENTITY;

typedef struct {
    uint16_t ShowUI;
    uint16_t ModalUI;
    void* hParent;
} FAKE_USERINTERFACE;

typedef struct {
    void* pEvent;
    uint16_t TWMessage;
} FAKE_EVENT;

typedef struct {
    uint16_t Count;
    uint32_t Reserved;
} FAKE_PENDINGXFERS;

typedef struct {
    uint16_t ConditionCode;
    uint16_t Reserved;
} FAKE_STATUS;

typedef struct {
    uint16_t Cap;
    uint16_t ConType;
    void* hContainer;
} FAKE_CAPABILITY;

typedef struct {
    uint16_t ItemType;
    uint32_t NumItems;
    uint32_t CurrentIndex;
    uint32_t DefaultIndex;
    uint16_t ItemList[3];
} FAKE_ENUMERATION;
#pragma pack(pop)

/* How the source behaves in the next session. */
enum {
    FAKE_NORMAL = 0,        /* delivers Images images, then asks to be closed */
    FAKE_NO_SOURCE = 1,     /* opening the default source fails */
    FAKE_XFER_FAILS = 2,    /* every native transfer fails */
    FAKE_XFER_CANCEL = 3,   /* the transfer is cancelled */
    FAKE_USER_CLOSES = 4,   /* the user closes the source's dialog at once */
    FAKE_ENABLE_FAILS = 5,
    FAKE_SHORT_IMAGE = 6,   /* the image block is shorter than its header states */
    FAKE_ONEVALUE = 7,      /* the pixel type comes as one value (RGB) */
    FAKE_SELECT_CANCEL = 8, /* the selection dialog is cancelled */
    FAKE_ENDLESS = 9        /* always one more transfer pending */
};

typedef void (*FakeDsmResetProc)(int Images, int Mode);
typedef int (*FakeDsmCallCountProc)(void);
/* Call Index: destination (1 = source), group, data type and message. */
typedef void (*FakeDsmCallProc)(int Index, int* ToSource, uint32_t* DG, uint16_t* DAT,
                                uint16_t* MSG);
/* The pixel types of the latest MSG_SET of ICAP_PIXELTYPE; -1 when none. */
typedef int (*FakeDsmSetPixelTypesProc)(uint16_t* Items, int Max);
/* The window handle of MSG_OPENDSM and of MSG_ENABLEDS. */
typedef void (*FakeDsmWindowsProc)(void** Parent, void** UIParent);
/* sizeof FAKE_IDENTITY, FAKE_USERINTERFACE, FAKE_EVENT, FAKE_PENDINGXFERS,
   FAKE_CAPABILITY, in that order. */
typedef void (*FakeDsmLayoutProc)(int* Sizes);

#ifdef __cplusplus
}
#endif

#endif
