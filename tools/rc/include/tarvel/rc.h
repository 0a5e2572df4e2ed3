/*
 * The resource compiler: reads resource sources (the text format below) and
 * writes resource containers in the platform's format (plat/resource.h).
 * The `tarvelrc` command and test fixtures both use it.
 *
 * Source format (UTF-8 text, one statement a line):
 *
 *   # a comment, from "#" to the end of the line
 *   STRING 265 "Printer Settings"          string 265 (0..65535)
 *   STRING 705 "first part, " "second part" adjacent literals are joined
 *   RCDATA 7 "data/table.bin"              raw data (type 10) from a file
 *   RCDATA LOGO "data/logo.bin"            ids may be names
 *   BITMAP 101 "pictures/tray.bmp"         a .bmp file, stored without its
 *                                          14-byte file header (type 2)
 *   ICON 252 "pictures/toggle_off.bmp"     an icon (type 3) from a 24- or
 *                                          32-bit .bmp file whose magenta
 *                                          (255, 0, 255) pixels are
 *                                          transparent: colour and mask
 *                                          in the icon form of plat/resource.h
 *   RESOURCE 260 6 "glyphs.bin"            any other type, by number or name
 *   DIALOG 700 0 0 330 200 STYLE WS_POPUP|WS_CAPTION FONT 8 "MS Shell Dlg" CAPTION "Title"
 *   CONTROL 100 BUTTON 7 7 50 14 BS_PUSHBUTTON|WS_TABSTOP "&Push"
 *   CONTROL 120 EDIT 7 25 70 12 ES_NUMBER|WS_BORDER "" EXSTYLE WS_EX_CLIENTEDGE
 *   END                                    a dialog template (type 5, the
 *                                          platform's stored form): its
 *                                          controls one a line until END;
 *                                          STYLE, EXSTYLE, FONT and CAPTION
 *                                          are optional, in any order;
 *                                          positions in dialog units;
 *                                          styles are numbers or the
 *                                          platform's style names joined
 *                                          with "|"; WS_VISIBLE is implied
 *                                          for controls unless NOT_VISIBLE
 *
 *   Numbers are decimal or 0x-hexadecimal.  Names are letters, digits and
 *   "_" (not starting with a digit), at most 255, matched ignoring case and
 *   stored in capitals.  Keywords are written in capitals.  File names are
 *   relative to the source file's folder.  String literals take the escapes
 *   \n \r \t \\ \" \xHH \uXXXX \UXXXXXXXX; a NUL character, a control
 *   character other than tab, an empty string and ill-formed UTF-8 are
 *   refused.  Every error is reported as "file:line: message" and no
 *   container is written.
 */
#ifndef TARVEL_RC_H
#define TARVEL_RC_H

#include <plat/dialog.h>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace rc {

/* A resource type or id: a number, or a name in capitals. */
struct Key {
    bool named = false;
    uint16_t number = 0;
    std::u16string name;
};

/* One resource other than a string. */
struct Resource {
    Key type;
    Key id;
    std::vector<uint8_t> data;
    std::string where; /* "file:line" of its statement */
};

/* One error in a source. */
struct Diagnostic {
    std::string file;
    unsigned line = 0;
    std::string message;

    /* "file:line: message" */
    std::string text() const;
};

/* Everything read from a set of sources. */
/* The dialog template being read (between DIALOG and END). */
struct OpenDialog {
    bool open = false;
    bool broken = false; /* its DIALOG line had an error: its lines are read, nothing is stored */
    uint16_t id = 0;
    std::string where;
    plat::DialogTemplate tmpl;
};

struct Project {
    OpenDialog dialog;
    std::map<uint16_t, std::u16string> strings;
    std::map<uint16_t, std::string> string_where;
    std::vector<Resource> resources;
    std::vector<std::string> inputs; /* every file read, sources and data */
    std::vector<Diagnostic> errors;
};

/*
 * Parses source `text` into `project`; `file` names it in messages and
 * `base_dir` is the folder that data file names are relative to.  Returns
 * true when it added no error.
 */
bool parse_source(std::string_view text, const std::string &file, const std::string &base_dir, Project &project);

/* Reads and parses the source file at `path`; true when no error was added. */
bool parse_file(const std::string &path, Project &project);

/*
 * Writes the container of a project without errors into `out`: string
 * blocks for the strings and one entry per resource.  False (with an error
 * added to project.errors) when it would exceed the container size limit.
 */
bool write_container(Project &project, std::vector<uint8_t> &out);

} // namespace rc

#endif
