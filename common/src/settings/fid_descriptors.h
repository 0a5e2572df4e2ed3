/*
 * The built-in descriptors of the settings schema (private to the common
 * library): the list rows of fid_schema_lists.cpp point at these, and
 * fid_descriptors.cpp defines them with their constants and handlers.
 */
#ifndef TARVEL_FID_DESCRIPTORS_H
#define TARVEL_FID_DESCRIPTORS_H

#include "tarvel/settings/fid_schema.h"

namespace fid_desc {

/* Public devmode fields. */
extern const SettingDescriptor deviceName;     /* 1 */
extern const SettingDescriptor specVersion;    /* 2 */
extern const SettingDescriptor driverVersion;  /* 3, and 257, 1793, 8204 */
extern const SettingDescriptor devmodeSize;    /* 4 */
extern const SettingDescriptor driverExtra;    /* 5 */
extern const SettingDescriptor fields;         /* 6 */
extern const SettingDescriptor orientation;    /* 7 */
extern const SettingDescriptor paperSize;      /* 8 */
extern const SettingDescriptor paperLength;    /* 9 */
extern const SettingDescriptor paperWidth;     /* 10 */
extern const SettingDescriptor scale;          /* 11 */
extern const SettingDescriptor copies;         /* 12 */
extern const SettingDescriptor defaultSource;  /* 13 */
extern const SettingDescriptor color;          /* 15 */
extern const SettingDescriptor duplex;         /* 16 */
extern const SettingDescriptor trueTypeOption; /* 17 */
extern const SettingDescriptor collate;        /* 18 */
extern const SettingDescriptor formName;       /* 19 */
extern const SettingDescriptor icmMethod;      /* 22 */
extern const SettingDescriptor icmIntent;      /* 23 */
extern const SettingDescriptor modelPublic;    /* 24, 25 */

/* Record headers and private settings. */
extern const SettingDescriptor privateVersion;  /* 258, 8203 */
extern const SettingDescriptor printerDataSize; /* 8202 */
extern const SettingDescriptor modelName;       /* 259 */
extern const SettingDescriptor stampNameList;   /* 298 */
extern const SettingDescriptor faceNameList;    /* 305 */
extern const SettingDescriptor stampFont;       /* 357 */
extern const SettingDescriptor stampFaceName;   /* 358 */
extern const SettingDescriptor modelByte;       /* 439, 463 */
extern const SettingDescriptor customWidth;     /* 5889-5908 */
extern const SettingDescriptor customLength;    /* 5909-5928 */
extern const SettingDescriptor customName;      /* 5929-5948 */

} // namespace fid_desc

#endif /* TARVEL_FID_DESCRIPTORS_H */
