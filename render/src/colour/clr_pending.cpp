/*
 * The colour object's side of the held images: whether a blt continues
 * the picture the outside engine is shown or starts a new one, and the
 * two walks over the held strips (statistics, then conversion) through the
 * engine and the image passes.
 */
#include "blt_records.h"
#include "clr_color_object.h"

#include <plat/memory.h>

#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr int kListError = -1;
constexpr int kNoMemory = -2;
constexpr int kEngineError = -6;

/* Runs the image passes of `flags` over a held strip's pixels into `work`; true when done. */
bool run_passes(ColorObject *object, WORD flags, const BYTE *pixels, BYTE *work, LONG width, LONG height)
{
    const WORD saved = object->imageFlags;
    object->imageFlags = WORD(flags & ~CLR_IMAGE_GREY);
    const int rc = CLR_ConvertImageRows(object, pixels, work, width, height, nullptr, nullptr, 0, CLR_FORMAT_RGB, 24,
                                        FALSE, 0);
    object->imageFlags = saved;
    return rc == CLR_RESULT_COLOR;
}

/* Locks a node's pixels; null when they cannot be had. */
BYTE *pixels_of(PendingImage *node)
{
    if (!node->pixels && node->block)
        node->pixels = static_cast<BYTE *>(GlobalLock(node->block));
    return node->pixels;
}

} // namespace

int CLR_MatchImageBand(PendingImageList *list, LONG width, LONG height, LONG bitsPerPixel, LONG ropMode, LONG rop3,
                       LONG code)
{
    if (!list)
        return -1;
    PendingImageKey &key = list->key;
    if ((bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32) || ropMode != 2 || rop3 != 0xCC) {
        key = PendingImageKey{};
        return 8;
    }
    if (key.code == code && key.bits == bitsPerPixel) {
        const bool sameWidth = key.width != 0 && width == key.width;
        const bool sameHeight = key.height != 0 && height == key.height;
        if (sameWidth) {
            if (!sameHeight)
                key.height = 0;
            return 7;
        }
        if (sameHeight) {
            key.width = 0;
            return 7;
        }
    }
    key = PendingImageKey{code, bitsPerPixel, width, height};
    return 6;
}

int CLR_ConvertPendingImages(ColorObject *object, PendingImageList *list, BOOL release)
{
    if (!object || !list)
        return kListError;
    if (!list->first)
        return 0;
    if (!release)
        object->imageFlags = WORD(object->imageFlags & ~CLR_IMAGE_ENGINE);
    const QceEngineProcs &qce = object->engine;
    const DWORD handle = object->engineHandle;
    bool engine = (object->imageFlags & CLR_IMAGE_ENGINE) && handle && qce.createParamBegin && qce.createParam &&
                  qce.createParamEnd && qce.colorConvert;
    if (!engine)
        object->imageFlags = WORD(object->imageFlags & ~CLR_IMAGE_ENGINE);
    const bool engineAtStart = engine;
    const WORD flags = object->imageFlags;

    /* The largest strip sizes the work buffer. */
    ULONGLONG largest = 0;
    for (PendingImage *n = list->first; n; n = n->next) {
        const ULONGLONG bytes = ULONGLONG(n->descriptor.srcWidth) * n->descriptor.srcHeight * 3;
        if (bytes > largest)
            largest = bytes;
    }
    std::unique_ptr<BYTE[]> work(new (std::nothrow) BYTE[size_t(largest ? largest : 1)]);
    if (!work)
        return kNoMemory;

    if (engine && qce.createParamBegin(handle, BYTE(object->engineMode)) != 0)
        return kEngineError;
    for (PendingImage *n = list->first; n; n = n->next) {
        BYTE *pixels = pixels_of(n);
        const LONG w = n->descriptor.srcWidth, h = n->descriptor.srcHeight;
        if (!pixels)
            return kListError;
        const size_t bytes = size_t(w) * size_t(h) * 3;
        if (n->stage == 0) {
            if (!run_passes(object, WORD(flags & (CLR_IMAGE_BUILTIN | CLR_IMAGE_PROFILE2)), pixels, work.get(), w, h))
                return kListError;
            std::memcpy(pixels, work.get(), bytes);
            n->stage = 1;
        }
        if (engine && qce.createParam(handle, pixels, w, h) != 0)
            return kEngineError;
    }
    if (engine) {
        const LONG end = qce.createParamEnd(handle);
        if (end == QCE_DECLINE) {
            engine = false;
            object->imageFlags = WORD(object->imageFlags & ~CLR_IMAGE_ENGINE);
        } else if (end != 0) {
            return kEngineError;
        }
    }
    for (PendingImage *n = list->first; n; n = n->next) {
        if (n->stage >= 2)
            continue;
        BYTE *pixels = pixels_of(n);
        const LONG w = n->descriptor.srcWidth, h = n->descriptor.srcHeight;
        const size_t bytes = size_t(w) * size_t(h) * 3;
        if (engine) {
            if (qce.colorConvert(handle, pixels, work.get(), w, h) != 0)
                return kEngineError;
            std::memcpy(pixels, work.get(), bytes);
        }
        if (flags & CLR_IMAGE_MATRIX3) {
            if (!run_passes(object, CLR_IMAGE_MATRIX3, pixels, work.get(), w, h))
                return kListError;
            std::memcpy(pixels, work.get(), bytes);
        }
        n->stage = 2;
    }
    if (engineAtStart && release && qce.deleteParam)
        qce.deleteParam(handle);
    return 0;
}
