/*
 * The page's clip kept in step with the clip objects of the drawing calls:
 * a rectangle or a clip path already in force is not sent again, a
 * rectangle inside the one in force is only intersected with it, and the
 * clip path is kept as a copy (also the form held images keep their clip
 * in) so that the next one can be compared with it.
 */
#include "draw_path.h"
#include "draw_xl_values.h"
#include "pclxl_ops.h"
#include "pdev_context.h"

#include <plat/error.h>
#include <plat/memory.h>

#include <algorithm>
#include <cstring>

namespace {

/* Paths beyond this many bytes of copy are not copied (the count of points would not fit the record). */
constexpr ULONGLONG kMaxCopyBytes = 0x7FFFFFF0ull;

HANDLE copy_heap(const PdevContext *pdev) { return pdev && pdev->heap ? pdev->heap : GetProcessHeap(); }

/* Counts a path's records and points. */
bool measure(PATHOBJ *ppo, ULONGLONG *records, ULONGLONG *points)
{
    *records = *points = 0;
    PATHOBJ_vEnumStart(ppo);
    PATHDATA pd{};
    BOOL more;
    do {
        more = PATHOBJ_bEnum(ppo, &pd);
        if (pd.count == 0)
            continue;
        if (!pd.pptfx)
            return false;
        ++*records;
        *points += pd.count;
    } while (more);
    return true;
}

/* Copies a path into a block of `heap`: 4 copied, 3 no memory (or too large), 0 empty. */
int copy_path(PATHOBJ *ppo, HANDLE heap, void **block, DWORD *bytes, DWORD *records)
{
    ULONGLONG n = 0, points = 0;
    if (!measure(ppo, &n, &points) || n == 0)
        return 0;
    const ULONGLONG size = (n * 2 + points) * 8;
    if (size > kMaxCopyBytes)
        return 3;
    auto *out = static_cast<BYTE *>(HeapAlloc(heap, 0, SIZE_T(size)));
    if (!out)
        return 3;
    auto *rec = reinterpret_cast<PathCopyRecord *>(out);
    auto *pts = reinterpret_cast<POINTFIX *>(out + n * sizeof(PathCopyRecord));
    ULONGLONG r = 0;
    PATHOBJ_vEnumStart(ppo);
    PATHDATA pd{};
    BOOL more;
    do {
        more = PATHOBJ_bEnum(ppo, &pd);
        if (pd.count == 0 || r == n)
            continue;
        rec[r].flags = DWORD(pd.flags);
        rec[r].count = pd.count;
        rec[r].points = pts;
        std::memcpy(pts, pd.pptfx, size_t(pd.count) * sizeof(POINTFIX));
        pts += pd.count;
        ++r;
    } while (more);
    *block = out;
    *bytes = DWORD(size);
    *records = DWORD(n);
    return 4;
}

/* Equal when every record's flags and count match and then all points. */
bool same_copy(const void *a, DWORD aBytes, DWORD aRecords, const void *b, DWORD bBytes, DWORD bRecords)
{
    if (aBytes != bBytes || aRecords != bRecords)
        return false;
    auto *ra = static_cast<const PathCopyRecord *>(a);
    auto *rb = static_cast<const PathCopyRecord *>(b);
    for (DWORD i = 0; i < aRecords; i++)
        if (ra[i].flags != rb[i].flags || ra[i].count != rb[i].count)
            return false;
    const size_t head = size_t(aRecords) * sizeof(PathCopyRecord);
    return std::memcmp(static_cast<const BYTE *>(a) + head, static_cast<const BYTE *>(b) + head, aBytes - head) == 0;
}

/* Copies a copy into a block of `heap`, its point pointers rebased onto the new block. */
void *clone_copy(const PathPointsCopy &copy, HANDLE heap)
{
    auto *out = static_cast<BYTE *>(HeapAlloc(heap, 0, copy.bytes));
    if (!out)
        return nullptr;
    std::memcpy(out, copy.block, copy.bytes);
    auto *rec = reinterpret_cast<PathCopyRecord *>(out);
    auto *pts = reinterpret_cast<POINTFIX *>(out + size_t(copy.records) * sizeof(PathCopyRecord));
    for (DWORD i = 0; i < copy.records; i++) {
        rec[i].points = pts;
        pts += rec[i].count;
    }
    return out;
}

/* A copy's shape holds: its records and their points fill exactly its byte count. */
bool valid_copy(const PathPointsCopy *copy)
{
    if (!copy || !copy->block || copy->records == 0 ||
        ULONGLONG(copy->records) * sizeof(PathCopyRecord) > copy->bytes)
        return false;
    ULONGLONG points = 0;
    auto *rec = static_cast<const PathCopyRecord *>(copy->block);
    for (DWORD i = 0; i < copy->records; i++)
        points += rec[i].count;
    return (ULONGLONG(copy->records) * 2 + points) * 8 == copy->bytes;
}

void free_cached(PdevContext *pdev)
{
    PathClipState &st = pdev->pathClip;
    if (st.path)
        HeapFree(copy_heap(pdev), 0, st.path);
    st.path = nullptr;
    st.pathBytes = st.pathRecords = 0;
}

int clip_to_page(PdevContext *pdev)
{
    if (XL_SetClipToPage(pdev) != 0)
        return 0;
    pdev->pathClip.kind = PTH_CLIP_PAGE;
    return 1;
}

bool inside(const RECTL &inner, const RECTL &outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

RECTL normalized(const RECTL &r)
{
    return RECTL{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
                 std::max(r.top, r.bottom)};
}

int set_rectangle(PdevContext *pdev, const RECTL &clip)
{
    PathClipState &st = pdev->pathClip;
    const RECTL r = normalized(clip);
    if (st.kind == PTH_CLIP_RECTANGLE && std::memcmp(&r, &st.rect, sizeof r) == 0)
        return 1;
    /* A rectangle inside the one in force is intersected with it by the printer; any other replaces it. */
    const bool narrows = st.kind == PTH_CLIP_RECTANGLE && inside(r, st.rect);
    if ((st.kind == PTH_CLIP_RECTANGLE && !narrows) || st.kind == PTH_CLIP_PATH) {
        if (XL_SetClipToPage(pdev) != 0)
            return 0;
        st.kind = PTH_CLIP_PAGE;
    }
    if (XL_SetClipRectangle(pdev, XLV_eInterior, r.left, r.top, r.right, r.bottom) != 0)
        return 0;
    st.kind = PTH_CLIP_RECTANGLE;
    st.rect = r;
    return 1;
}

/* Sends the path (from the object, or the copy) as the clip. */
int send_clip_path(PdevContext *pdev, PATHOBJ *ppo, const void *points, DWORD records)
{
    PathClipState &st = pdev->pathClip;
    if (st.kind != PTH_CLIP_PAGE && XL_SetClipToPage(pdev) != 0)
        return 0;
    st.kind = PTH_CLIP_PAGE;
    if (PTH_EmitPathData(pdev, ppo, points, records) != 1 || XL_SetClipMode(pdev, XLV_eEvenOdd) != 0 ||
        XL_SetClipReplace(pdev, XLV_eInterior) != 0)
        return 0;
    st.kind = PTH_CLIP_PATH;
    return 1;
}

} // namespace

int PTH_ResetPathState(PdevContext *pdev)
{
    if (!pdev)
        return -1;
    free_cached(pdev);
    pdev->pathClip.kind = PTH_CLIP_UNDETERMINED;
    pdev->pathClip.rect = RECTL{};
    return 0;
}

void PTH_FreePathState(PdevContext *pdev)
{
    if (pdev)
        free_cached(pdev);
}

int PTH_CopyPathPoints(PATHOBJ *ppo, void **block, DWORD *bytes, DWORD *records)
{
    if (block)
        *block = nullptr;
    if (bytes)
        *bytes = 0;
    if (records)
        *records = 0;
    if (!ppo || !block || !bytes || !records)
        return 0;
    return copy_path(ppo, GetProcessHeap(), block, bytes, records);
}

int PTH_CacheClipPath(PdevContext *pdev, PATHOBJ *ppo, const void *clipCopy)
{
    if (!pdev || (!ppo && !clipCopy))
        return -2;
    PathClipState &st = pdev->pathClip;
    void *block = nullptr;
    DWORD bytes = 0, records = 0;
    if (clipCopy) {
        const auto *copy = static_cast<const PathPointsCopy *>(clipCopy);
        if (!valid_copy(copy))
            return -2;
        if (st.kind == PTH_CLIP_PATH && st.path &&
            same_copy(copy->block, copy->bytes, copy->records, st.path, st.pathBytes, st.pathRecords))
            return 1;
        block = clone_copy(*copy, copy_heap(pdev));
        if (!block)
            return -1;
        bytes = copy->bytes;
        records = copy->records;
    } else {
        const int r = copy_path(ppo, copy_heap(pdev), &block, &bytes, &records);
        if (r == 0)
            return -2;
        if (r != 4)
            return -1;
        if (st.kind == PTH_CLIP_PATH && st.path &&
            same_copy(block, bytes, records, st.path, st.pathBytes, st.pathRecords)) {
            HeapFree(copy_heap(pdev), 0, block);
            return 1;
        }
    }
    free_cached(pdev);
    st.path = block;
    st.pathBytes = bytes;
    st.pathRecords = records;
    return 0;
}

int PTH_SetClipRegion(PdevContext *pdev, CLIPOBJ *pco, RECTL *prclTarget)
{
    return PTH_SetClipFromCopy(pdev, pco, nullptr, prclTarget, nullptr);
}

int PTH_SetClipFromCopy(PdevContext *pdev, CLIPOBJ *pco, PATHOBJ *ppo, RECTL *prclTarget, const void *clipCopy)
{
    if (!pdev)
        return 0;
    PathClipState &st = pdev->pathClip;
    if (st.kind == PTH_CLIP_UNDETERMINED && !clip_to_page(pdev))
        return 0;
    const bool none = !pco || pco->iDComplexity == DC_TRIVIAL;
    if (!none && pco->iDComplexity == DC_RECT) {
        const RECTL bounds = normalized(pco->rclBounds);
        if (!(prclTarget && inside(normalized(*prclTarget), bounds)))
            return set_rectangle(pdev, bounds);
    }
    if (none || pco->iDComplexity == DC_RECT)
        return st.kind == PTH_CLIP_PAGE ? 1 : clip_to_page(pdev);
    if (pco->iDComplexity != DC_COMPLEX)
        return 0;

    /* A region: its path from the held image's copy, the caller, or the engine. */
    PATHOBJ *owned = nullptr;
    if (!clipCopy && !ppo) {
        owned = CLIPOBJ_ppoGetPath(pco);
        if (!owned)
            return 0;
        ppo = owned;
    }
    int rc = 0;
    switch (PTH_CacheClipPath(pdev, clipCopy ? nullptr : ppo, clipCopy)) {
    case 1: /* the path in force */
        rc = 1;
        break;
    case 0:
        rc = send_clip_path(pdev, nullptr, st.path, st.pathRecords);
        break;
    case -1: { /* no memory for the copy: send it from where it is */
        free_cached(pdev);
        const auto *copy = static_cast<const PathPointsCopy *>(clipCopy);
        rc = copy ? send_clip_path(pdev, nullptr, copy->block, copy->records) : send_clip_path(pdev, ppo, nullptr, 0);
        break;
    }
    default: /* an empty path */
        SetLastError(ERROR_INVALID_PARAMETER);
        rc = 0;
        break;
    }
    EngDeletePath(owned);
    return rc;
}
