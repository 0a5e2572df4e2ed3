/*
 * Making and freeing the job's colour object: the colour settings are read
 * once into set-up flags, then the pieces they ask for are loaded one by one
 * (adjustment matrices, gain and offset pairs, the built-in monitor model,
 * up to two ICC profiles, the outside colour-matching engine).  A piece that
 * fails is left out alone; an unusable profile is reported to the user, who
 * may go on without it or stop the job.
 */
#include "clr_color_object.h"

#include "clr_settings.h"

#include <tarvel/stores/upg_settings.h>

#include <plat/codepage.h>
#include <plat/loader.h>
#include <plat/memory.h>
#include <plat/msgbox.h>
#include <plat/resource.h>
#include <plat/text.h>
#include <plat/window_min.h>

#include <cstring>
#include <iterator>

namespace {

/* The built-in model's white points (setting 287 indexes it) and gamma codes (setting 288). */
constexpr LONG kWhitePoints[4] = {5000, 6500, 9300, 0};
constexpr LONG kGammaCodes[5] = {10, 14, 18, 22, 26};

/* Model texts: the engine library's file name and its data. */
constexpr WORD kEngineLibraryText = 4;
constexpr WORD kEngineDataText = 1;

/* Longest ANSI profile path handed to the profile reader, terminator included. */
constexpr int kAnsiPathBytes = 258;

constexpr WCHAR kProfileMessage[] =
    u"ICC Profile cannot be used. \nDocuments will be printed without color correction.";
constexpr WCHAR kProfileCaption[] = u"Error";
constexpr UINT kProfileBoxStyle = MB_OKCANCEL | MB_ICONINFORMATION; /* 0x41 */
constexpr UINT kProfileMessageString = 1;

/* Settings of the three steps of each group (group 1, 2, 3, all). */
constexpr WORD kGroupSettings[4][3] = {{275, 279, 283}, {276, 280, 284}, {277, 281, 285}, {274, 278, 282}};

bool read_group(void *settings, int group, ColorSetup *setup)
{
    bool any = false;
    for (int i = 0; i < 3; i++) {
        LONG v = 0;
        CLR_ReadSetting(settings, kGroupSettings[group][i], &v);
        setup->group[group][i] = SHORT(v);
        any = any || v != 0;
    }
    return any;
}

/* Reads the profile at the wide path `path` into `transform`; an ICC_ result. */
int load_profile(ColorTransform *transform, LPCWSTR path)
{
    CHAR ansi[kAnsiPathBytes] = {};
    if (WideCharToMultiByte(CP_ACP, 0, path, -1, ansi, kAnsiPathBytes, nullptr, nullptr) <= 0)
        return ICC_ERR_OPEN;
    return ICC_LoadProfile(transform, ansi);
}

/* Binds the outside engine named by the printer's model; the handle stays 0 when anything is missing. */
void load_engine(ColorObject *object, HANDLE printer)
{
    LPWSTR library = UPG_GetHelperProgramPath(printer, kEngineLibraryText);
    if (!library)
        return;
    /* Within the driver's activation context on Windows; the platform's do nothing. */
    HMODULE module = LoadLibraryW(library);
    GlobalFree(library);
    if (!module)
        return;
    FARPROC procs[7] = {};
    bool all = true;
    for (int i = 0; i < 7; i++) {
        procs[i] = GetProcAddress(module, QCE_PROC_NAMES[i]);
        all = all && procs[i];
    }
    if (!all) {
        FreeLibrary(module);
        return;
    }
    object->engineModule = module;
    object->engine.load = plat::proc_cast<PFN_QCE_LoadQCE32>(procs[0]);
    object->engine.free = plat::proc_cast<PFN_QCE_FreeQCE32>(procs[1]);
    object->engine.createParamBegin = plat::proc_cast<PFN_QCE_CreateParam_Begin32>(procs[2]);
    object->engine.createParam = plat::proc_cast<PFN_QCE_CreateParam32>(procs[3]);
    object->engine.createParamEnd = plat::proc_cast<PFN_QCE_CreateParam_End32>(procs[4]);
    object->engine.deleteParam = plat::proc_cast<PFN_QCE_DeleteParam32>(procs[5]);
    object->engine.colorConvert = plat::proc_cast<PFN_QCE_ColorConvert32>(procs[6]);
    LPWSTR data = UPG_GetHelperProgramPath(printer, kEngineDataText);
    object->engineHandle = object->engine.load(data ? data : u"");
    GlobalFree(data);
}

/* Tells the user a profile cannot be used; true when they chose to go on without it. */
bool confirm_without_profile(HMODULE resourceModule, LPCWSTR path)
{
    WCHAR format[1024] = {};
    WCHAR text[1024] = {};
    LPCWSTR message = kProfileMessage;
    /* wsprintfW stops at 1,023 units, so a long path cannot overrun the text */
    if (resourceModule && path && path[0] &&
        LoadStringW(resourceModule, kProfileMessageString, format, int(std::size(format))) > 0) {
        wsprintfW(text, format, path);
        message = text;
    }
    return MessageBoxW(GetActiveWindow(), message, kProfileCaption, kProfileBoxStyle) == IDOK;
}

} // namespace

WORD CLR_ReadColorSettings(void *settings, ColorSetup *setup)
{
    if (!setup)
        return 0;
    LONG colorMode = 0, perGroup = 0, groupMask = 0, matching = 0, gain1 = 0, gain2 = 0, engineMode = 0;
    if (CLR_ReadSetting(settings, 270, &colorMode) != 0 || CLR_ReadSetting(settings, 1314, &perGroup) != 0 ||
        CLR_ReadSetting(settings, 273, &groupMask) != 0 || CLR_ReadSetting(settings, 286, &matching) != 0 ||
        CLR_ReadSetting(settings, 1326, &gain1) != 0 || CLR_ReadSetting(settings, 1327, &gain2) != 0 ||
        CLR_ReadSetting(settings, 291, &engineMode) != 0)
        return 0;
    const bool mono = colorMode == 1;
    WORD flags = 0;
    if (perGroup == 1) {
        if ((groupMask & 0x1) && read_group(settings, 0, setup))
            flags |= CLR_SETUP_MATRIX1 | (!mono && gain1 == 1 ? CLR_SETUP_GAIN1 : 0);
        if ((groupMask & 0x2) && read_group(settings, 1, setup))
            flags |= CLR_SETUP_MATRIX2 | (!mono && gain2 == 1 ? CLR_SETUP_GAIN2 : 0);
        if ((groupMask & 0x4) && read_group(settings, 2, setup))
            flags |= CLR_SETUP_MATRIX3;
    } else if ((groupMask & 0x7) && read_group(settings, 3, setup)) {
        flags |= CLR_SETUP_MATRIX_ALL | (!mono && (gain1 == 1 || gain2 == 1) ? CLR_SETUP_GAIN_ALL : 0);
    }
    if (matching == 1) {
        LONG white = 0, gamma = 0;
        if (CLR_ReadSetting(settings, 287, &white) == 0 && CLR_ReadSetting(settings, 288, &gamma) == 0 &&
            white >= 0 && white < LONG(std::size(kWhitePoints)) && gamma >= 0 &&
            gamma < LONG(std::size(kGammaCodes))) {
            setup->whitePoint = WORD(kWhitePoints[white]);
            setup->gammaCode = WORD(kGammaCodes[gamma]);
            flags |= CLR_SETUP_BUILTIN;
        }
    } else if (matching == 2) {
        LONG use1 = 0, use2 = 0, same = 0;
        CLR_ReadSetting(settings, 1303, &use1);
        CLR_ReadSetting(settings, 1304, &use2);
        CLR_ReadSetting(settings, 1305, &same);
        CLR_ReadSettingText(settings, 1832, setup->profile1, CLR_PROFILE_PATH_CHARS);
        CLR_ReadSettingText(settings, 1833, setup->profile2, CLR_PROFILE_PATH_CHARS);
        setup->sameProfile = WORD(same == 1);
        if (use1 == 1 && setup->profile1[0])
            flags |= CLR_SETUP_PROFILE1;
        if (use2 == 1 && ((same == 1 && setup->profile1[0]) || (same != 1 && setup->profile2[0])))
            flags |= CLR_SETUP_PROFILE2;
    }
    if (engineMode != 0)
        flags |= CLR_SETUP_ENGINE;
    return flags;
}

int CLR_LoadTransforms(ColorObject *object, const ColorSetup &setup, HANDLE printer)
{
    if (!object)
        return -1;
    const WORD flags = object->setup;
    struct Piece {
        WORD matrixFlag, gainFlag;
        int group;
        AdjustMatrix **matrix;
        GainOffset **gain;
    } pieces[] = {
        {CLR_SETUP_MATRIX1, CLR_SETUP_GAIN1, 0, &object->matrix1, &object->gain1},
        {CLR_SETUP_MATRIX2, CLR_SETUP_GAIN2, 1, &object->matrix2, &object->gain2},
        {CLR_SETUP_MATRIX3, 0, 2, &object->matrix3, nullptr},
    };
    for (const Piece &p : pieces) {
        const SHORT *g = setup.group[p.group];
        if ((flags & p.matrixFlag) && CLU_BuildAdjustMatrix(&object->matrixStorage[p.group], g[0], g[1], g[2]) == 0)
            *p.matrix = &object->matrixStorage[p.group];
        if (p.gain && (flags & p.gainFlag)) {
            CLR_BuildGainOffset(&object->gainStorage[p.group], g[0], g[2]);
            *p.gain = &object->gainStorage[p.group];
        }
    }
    const SHORT *all = setup.group[3];
    if ((flags & CLR_SETUP_MATRIX_ALL) && CLU_BuildAdjustMatrix(&object->matrixStorage[0], all[0], all[1], all[2]) == 0)
        object->matrix1 = object->matrix2 = object->matrix3 = &object->matrixStorage[0];
    if (flags & CLR_SETUP_GAIN_ALL) {
        CLR_BuildGainOffset(&object->gainStorage[0], all[0], all[2]);
        object->gain1 = object->gain2 = &object->gainStorage[0];
    }

    if ((flags & CLR_SETUP_BUILTIN) &&
        ICC_BuildBuiltinModel(&object->storageA, setup.whitePoint, setup.gammaCode) == 0)
        object->builtin = &object->storageA;

    int result = 0;
    if (flags & CLR_SETUP_PROFILE1) {
        if (load_profile(&object->storageA, setup.profile1) == ICC_OK)
            object->profile1 = &object->storageA;
        else
            result = -3;
    }
    if ((flags & CLR_SETUP_PROFILE2) && result == 0) {
        if (setup.sameProfile && object->profile1)
            object->profile2 = object->profile1;
        else if (load_profile(&object->storageB, setup.sameProfile ? setup.profile1 : setup.profile2) == ICC_OK)
            object->profile2 = &object->storageB;
        else
            result = -4;
    }

    if ((flags & CLR_SETUP_ENGINE) && !object->engineHandle)
        load_engine(object, printer);
    return result;
}

int CLR_CreateColorObject(ColorObject **object, void *settings, HMODULE resourceModule, HANDLE printer)
{
    if (!object || !settings)
        return -1;
    *object = nullptr;
    auto *o = static_cast<ColorObject *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ColorObject)));
    if (!o)
        return -2;
    o->storageA.status = ICC_STATUS_UNUSABLE;
    o->storageB.status = ICC_STATUS_UNUSABLE;
    auto *setup = static_cast<ColorSetup *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ColorSetup)));
    if (!setup) {
        HeapFree(GetProcessHeap(), 0, o);
        return -2;
    }
    o->setup = CLR_ReadColorSettings(settings, setup);
    LONG engineMode = 0;
    CLR_ReadSetting(settings, 291, &engineMode);
    o->engineMode = WORD(engineMode);
    int result = CLR_LoadTransforms(o, *setup, printer);
    if (result != 0) {
        LPCWSTR path = result == -3 || setup->sameProfile ? setup->profile1 : setup->profile2;
        if (confirm_without_profile(resourceModule, path))
            result = 0;
    }
    HeapFree(GetProcessHeap(), 0, setup);
    if (result != 0) {
        CLR_FreeColorObject(o);
        return result;
    }
    *object = o;
    return 0;
}

void CLR_FreeColorObject(ColorObject *object)
{
    if (!object)
        return;
    /* Each storage once, though two pointers may share it. */
    ICC_FreeTransform(&object->storageA);
    ICC_FreeTransform(&object->storageB);
    if (object->engineHandle) {
        object->engine.deleteParam(object->engineHandle);
        object->engine.free(object->engineHandle);
        object->engineHandle = 0;
    }
    if (object->engineModule)
        FreeLibrary(object->engineModule);
    object->engineModule = nullptr;
    object->engine = QceEngineProcs{};
    object->builtin = object->profile1 = object->profile2 = nullptr;
    object->matrix1 = object->matrix2 = object->matrix3 = nullptr;
    object->gain1 = object->gain2 = nullptr;
    HeapFree(GetProcessHeap(), 0, object);
}

int CLR_GetMode(const ColorObject *object)
{
    if (!object)
        return -1;
    return (object->imageFlags & CLR_IMAGE_ENGINE) ? 4 : 3;
}
