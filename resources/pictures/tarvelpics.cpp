/*
 * tarvelpics: draws the pictures of the resource module (icons and
 * bitmaps) from the table below, one row per picture: its id, size, kind and
 * what it shows, with the function that draws it.  The build runs it into a
 * folder and compiles the resource source it writes there ("pictures.trc",
 * one ICON or BITMAP statement per row) with the other resources.  Pictures
 * are 24-bit .bmp files; an icon's magenta (255, 0, 255) background is its
 * transparent part (tarvelrc makes the mask from it).  Each picture shows
 * its setting so that a person can tell it from its neighbours: shapes and
 * colours, never a box with a caption.
 *
 *   tarvelpics OUTPUT_FOLDER     writes every picture and pictures.trc
 *   tarvelpics --list            prints the table
 */
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kTransparent = 0xFF00FF;
constexpr uint32_t kBlack = 0x000000, kWhite = 0xFFFFFF, kGrey = 0x808080, kLight = 0xD8D8D8;

/* A picture being drawn: top-down 0x00RRGGBB pixels; drawing outside it is cut off. */
struct Canvas {
    int cx, cy;
    std::vector<uint32_t> p;
    Canvas(int w, int h, uint32_t background) : cx(w), cy(h), p(size_t(w) * size_t(h), background) {}
    void dot(int x, int y, uint32_t c)
    {
        if (x >= 0 && y >= 0 && x < cx && y < cy)
            p[size_t(y) * size_t(cx) + size_t(x)] = c;
    }
    /* Filled rectangle [x0, x1) x [y0, y1). */
    void fill(int x0, int y0, int x1, int y1, uint32_t c)
    {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                dot(x, y, c);
    }
    /* Rectangle of `fillColour` with a one-pixel `edge`. */
    void box(int x0, int y0, int x1, int y1, uint32_t fillColour, uint32_t edge)
    {
        fill(x0, y0, x1, y1, edge);
        fill(x0 + 1, y0 + 1, x1 - 1, y1 - 1, fillColour);
    }
    /* A line `w` pixels thick from (x0, y0) to (x1, y1). */
    void line(double x0, double y0, double x1, double y1, double w, uint32_t c)
    {
        const int steps = int(std::ceil(std::hypot(x1 - x0, y1 - y0) * 2)) + 1;
        for (int i = 0; i <= steps; ++i) {
            const double x = x0 + (x1 - x0) * i / steps, y = y0 + (y1 - y0) * i / steps;
            disc(x, y, w / 2, c);
        }
    }
    /* Filled circle of radius r around (x, y), pixel centres tested. */
    void disc(double x, double y, double r, uint32_t c)
    {
        for (int py = int(y - r) - 1; py <= int(y + r) + 1; ++py)
            for (int px = int(x - r) - 1; px <= int(x + r) + 1; ++px)
                if (std::hypot(px + 0.5 - x, py + 0.5 - y) <= r)
                    dot(px, py, c);
    }
    /* Filled triangle. */
    void triangle(double ax, double ay, double bx, double by, double qx, double qy, uint32_t c)
    {
        auto side = [](double x0, double y0, double x1, double y1, double x, double y) {
            return (x1 - x0) * (y - y0) - (y1 - y0) * (x - x0);
        };
        for (int y = 0; y < cy; ++y)
            for (int x = 0; x < cx; ++x) {
                const double px = x + 0.5, py = y + 0.5;
                const double d1 = side(ax, ay, bx, by, px, py), d2 = side(bx, by, qx, qy, px, py),
                             d3 = side(qx, qy, ax, ay, px, py);
                if ((d1 >= 0 && d2 >= 0 && d3 >= 0) || (d1 <= 0 && d2 <= 0 && d3 <= 0))
                    dot(x, y, c);
            }
    }
};

/* Icons 252 and 253: a list row's on/off toggle, a check box empty or ticked. */
void toggle(Canvas &c, bool on)
{
    c.box(6, 6, 26, 26, kWhite, kBlack);
    c.fill(7, 7, 25, 8, kGrey); /* the sunken top edge */
    c.fill(7, 7, 8, 25, kGrey);
    if (on) {
        c.line(10, 16, 14, 21, 3, 0x107010);
        c.line(14, 21, 22, 10, 3, 0x107010);
    }
}
void toggleOff(Canvas &c) { toggle(c, false); }
void toggleOn(Canvas &c) { toggle(c, true); }

/* Icon 859: an option that cannot be chosen now: a red "no entry" disc with a white bar. */
void notAvailable(Canvas &c)
{
    c.disc(16, 16, 14, 0x801010);
    c.disc(16, 16, 13, 0xD02020);
    c.fill(7, 13, 25, 19, kWhite);
}

/* Icon 384: an option that needs attention: a yellow warning triangle with a black "!". */
void needsAttention(Canvas &c)
{
    c.triangle(16, 1, 1, 30, 31, 30, kBlack);
    c.triangle(16, 4.5, 4.5, 28.5, 27.5, 28.5, 0xC08000);
    c.triangle(16, 6.5, 6.5, 27.5, 25.5, 27.5, 0xF8D030);
    c.fill(15, 11, 18, 22, kBlack);
    c.fill(15, 24, 18, 27, kBlack);
}

/* A paper tray seen from the front-left: a grey drawer with a handle, `sheets` white sheets stacked in it. */
void tray(Canvas &c, int sheets)
{
    for (int i = 0; i < sheets; ++i)
        c.box(6 + i, 14 - 2 * i, 28 + i, 18 - 2 * i, kWhite, kGrey);
    c.box(3, 17, 29, 28, kLight, kBlack);
    c.fill(4, 18, 28, 19, kWhite); /* the drawer's lit top edge */
    c.box(12, 21, 20, 24, kGrey, kBlack);
}
/* Icon 1011: a tray that holds paper (three sheets stacked in it). */
void trayLoaded(Canvas &c) { tray(c, 3); }
/* Icon 1012: a tray without paper (the drawer only, its floor visible). */
void trayEmpty(Canvas &c)
{
    tray(c, 0);
    c.fill(5, 15, 27, 17, kGrey); /* the empty floor behind the front */
}

/* Icon 3554 of the print-time prompt: a person beside an identity card with a key, asking who prints. */
void userPrompt(Canvas &c)
{
    c.box(12, 10, 31, 28, 0xE8F0FF, 0x204080); /* the card */
    c.fill(14, 13, 20, 19, 0x7090C0);          /* its photo */
    c.fill(22, 14, 29, 15, 0x204080);          /* its text lines */
    c.fill(22, 18, 29, 19, 0x204080);
    c.fill(14, 22, 29, 23, 0x204080);
    c.disc(8, 8, 5, 0xE0A070);                  /* the person's head */
    c.disc(8, 22, 8, 0x3060B0);                 /* shoulders */
    c.fill(0, 26, 16, 32, kTransparent);        /* cut the shoulders straight */
    c.disc(8, 8, 5, 0xE0A070);
    c.disc(24, 28, 3, 0xC09010);                /* the key's bow */
    c.line(21, 28, 14, 28, 2, 0xC09010);        /* and its bit */
}

struct Picture {
    int id;
    int cx, cy;
    bool icon;         /* an icon (magenta is transparent), else a bitmap */
    const char *shows; /* what a person sees */
    void (*draw)(Canvas &);
};

constexpr Picture kPictures[] = {
    {252, 32, 32, true, "list row toggle off: an empty check box", toggleOff},
    {253, 32, 32, true, "list row toggle on: a check box with a green tick", toggleOn},
    {384, 32, 32, true, "option needing attention: a yellow warning triangle with an exclamation mark", needsAttention},
    {859, 32, 32, true, "option not available: a red no-entry disc", notAvailable},
    {1011, 32, 32, true, "paper-source row, tray with paper: a drawer with three sheets in it", trayLoaded},
    {1012, 32, 32, true, "paper-source row, tray without paper: an empty drawer", trayEmpty},
    {3554, 32, 32, true, "print-time prompt: a person beside an identity card and a key", userPrompt},
};

void put32(std::string &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + size_t(i)] = char(v >> (8 * i));
}

/* The picture as a 24-bit bottom-up .bmp file. */
std::string bmpFile(const Canvas &c)
{
    const size_t stride = (size_t(c.cx) * 3 + 3) / 4 * 4;
    std::string b(54 + stride * size_t(c.cy), '\0');
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, uint32_t(b.size()));
    put32(b, 10, 54);
    put32(b, 14, 40);
    put32(b, 18, uint32_t(c.cx));
    put32(b, 22, uint32_t(c.cy));
    b[26] = 1;
    b[28] = 24;
    put32(b, 34, uint32_t(stride * size_t(c.cy)));
    put32(b, 38, 3780); /* 96 dots an inch */
    put32(b, 42, 3780);
    for (int y = 0; y < c.cy; ++y)
        for (int x = 0; x < c.cx; ++x) {
            const uint32_t v = c.p[size_t(y) * size_t(c.cx) + size_t(x)];
            const size_t at = 54 + size_t(c.cy - 1 - y) * stride + size_t(x) * 3;
            b[at] = char(v & 0xFF);
            b[at + 1] = char(v >> 8 & 0xFF);
            b[at + 2] = char(v >> 16 & 0xFF);
        }
    return b;
}

/* Writes `bytes` to `path` only when the file differs, so that an unchanged picture does not rebuild the module. */
bool writeIfChanged(const std::string &path, const std::string &bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (in) {
        std::string old((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (old == bytes)
            return true;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return bool(out.flush());
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("usage: tarvelpics OUTPUT_FOLDER   draw every picture and write pictures.trc there\n"
                    "       tarvelpics --list          print the table of pictures\n");
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--list") == 0) {
        for (const Picture &p : kPictures)
            std::printf("%5d %s %dx%d  %s\n", p.id, p.icon ? "icon  " : "bitmap", p.cx, p.cy, p.shows);
        return 0;
    }
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "tarvelpics: expected one output folder (see --help)\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::string trc = "# Written by tarvelpics from its table of pictures; do not edit.\n";
    for (const Picture &p : kPictures) {
        Canvas c(p.cx, p.cy, p.icon ? kTransparent : kWhite);
        p.draw(c);
        const std::string name = std::string(p.icon ? "icon_" : "bitmap_") + std::to_string(p.id) + ".bmp";
        if (!writeIfChanged(dir + "/" + name, bmpFile(c))) {
            std::fprintf(stderr, "tarvelpics: cannot write %s/%s\n", dir.c_str(), name.c_str());
            return 1;
        }
        trc += std::string(p.icon ? "ICON " : "BITMAP ") + std::to_string(p.id) + " \"" + name + "\"  # " + p.shows +
               "\n";
    }
    /* Always written: its time tells the build that the pictures were drawn again. */
    std::ofstream out(dir + "/pictures.trc", std::ios::binary | std::ios::trunc);
    out << trc;
    if (!out.flush()) {
        std::fprintf(stderr, "tarvelpics: cannot write %s/pictures.trc\n", dir.c_str());
        return 1;
    }
    return 0;
}
