// Rendering a window tree to an image: each visible window is painted in
// z-order (parents before children) onto its top-level window's surface,
// then the window's part of the surface is written as a PNG with libpng.
#include <plat_test/ui_driver.h>

#include <plat/raster.h>

#include <png.h>

#include <cstdio>
#include <memory>

namespace plat_test {

namespace {

void paintTree(HWND h)
{
    if (!IsWindowVisible(h))
        return;
    InvalidateRect(h, nullptr, TRUE);
    SendMessageW(h, WM_PAINT, 0, 0);
    for (HWND c = GetWindow(h, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        paintTree(c);
}

} // namespace

bool renderPixels(HWND window, int *cx, int *cy, std::vector<DWORD> *pixels)
{
    if (!IsWindow(window))
        return false;
    /* Painting needs the window shown; a hidden window is shown for the picture and hidden again. */
    const bool wasVisible = IsWindowVisible(window) != 0;
    HWND top = GetAncestor(window, GA_ROOT);
    const bool topWasVisible = IsWindowVisible(top) != 0;
    if (!topWasVisible)
        ShowWindow(top, SW_SHOWNA);
    if (!wasVisible)
        ShowWindow(window, SW_SHOWNA);
    paintTree(window);
    RECT where{};
    HBITMAP surface = plat::window_surface(window, &where);
    int sx = 0, sy = 0;
    std::vector<DWORD> all;
    const bool ok = plat::bitmap_pixels(surface, &sx, &sy, &all);
    if (!wasVisible)
        ShowWindow(window, SW_HIDE);
    if (!topWasVisible)
        ShowWindow(top, SW_HIDE);
    if (!ok)
        return false;
    RECT bounds{0, 0, sx, sy};
    IntersectRect(&where, &where, &bounds);
    *cx = where.right - where.left;
    *cy = where.bottom - where.top;
    pixels->assign(size_t(*cx) * size_t(*cy), 0);
    for (int y = 0; y < *cy; ++y)
        for (int x = 0; x < *cx; ++x)
            (*pixels)[size_t(y) * size_t(*cx) + size_t(x)] =
                all[size_t(y + where.top) * size_t(sx) + size_t(x + where.left)];
    return true;
}

bool renderPng(HWND window, const std::string &path)
{
    int cx = 0, cy = 0;
    std::vector<DWORD> pixels;
    if (!renderPixels(window, &cx, &cy, &pixels) || cx <= 0 || cy <= 0)
        return false;
    std::unique_ptr<FILE, int (*)(FILE *)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    std::vector<png_byte> row(size_t(cx) * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, png_uint_32(cx), png_uint_32(cy), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < cy; ++y) {
        for (int x = 0; x < cx; ++x) {
            const DWORD p = pixels[size_t(y) * size_t(cx) + size_t(x)];
            row[size_t(x) * 3] = png_byte(p >> 16);
            row[size_t(x) * 3 + 1] = png_byte(p >> 8);
            row[size_t(x) * 3 + 2] = png_byte(p);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fflush(file.get()) == 0;
}

} // namespace plat_test
