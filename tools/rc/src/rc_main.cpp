/*
 * tarvelrc: compiles resource sources into a resource container, and lists
 * a container's contents.
 *
 *   tarvelrc -o OUTPUT [-d DEPFILE] SOURCE...
 *   tarvelrc --list CONTAINER
 *
 * The output is written beside OUTPUT and renamed into place, so a failed
 * run never leaves a half-written container.  DEPFILE lists every file read
 * (Makefile syntax) for the build's dependency tracking.  --list prints the
 * strings as STRING statements and one line per other resource.
 */
#include <tarvel/rc.h>

#include <plat/resource.h>
#include <plat/text.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: tarvelrc -o OUTPUT [-d DEPFILE] SOURCE...\n"
                         "       tarvelrc --list CONTAINER\n");
    return 2;
}

bool write_whole(const std::string &path, const std::string &bytes)
{
    std::string tmp = path + ".tmp";
    {
        std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
        if (!f || !f.write(bytes.data(), std::streamsize(bytes.size())) || !f.flush())
            return false;
    }
    return std::rename(tmp.c_str(), path.c_str()) == 0;
}

std::string depfile_escape(const std::string &path)
{
    std::string out;
    for (char c : path) {
        if (c == ' ' || c == '#' || c == '\\')
            out += '\\';
        if (c == '$')
            out += '$';
        out += c;
    }
    return out;
}

/* A string as a source literal, so that --list output compiles again. */
std::string quote(std::u16string_view s)
{
    std::string out = "\"";
    std::u16string plain; /* a run without escapes, converted whole (surrogate pairs) */
    auto flush = [&] {
        out += plat::utf16_to_utf8(plain);
        plain.clear();
    };
    for (char16_t c : s) {
        const char *esc = c == u'\n' ? "\\n" : c == u'\r' ? "\\r" : c == u'\t' ? "\\t"
                        : c == u'\\' ? "\\\\" : c == u'"' ? "\\\"" : nullptr;
        if (!esc && c >= 0x20) {
            plain += c;
            continue;
        }
        flush();
        char buf[8];
        if (!esc) {
            std::snprintf(buf, sizeof buf, "\\x%02X", unsigned(c));
            esc = buf;
        }
        out += esc;
    }
    flush();
    return out + "\"";
}

std::string key_text(const plat::RsrcKey &k)
{
    return k.named ? plat::utf16_to_utf8(k.name) : std::to_string(k.number);
}

int list(const char *path)
{
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        std::fprintf(stderr, "%s: cannot read: %s\n", path, std::strerror(errno));
        return 1;
    }
    std::ostringstream all;
    all << f.rdbuf();
    std::string bytes = all.str();
    plat::RsrcImagePtr img;
    plat::RsrcStatus st = plat::rsrc_open_image(
        std::span<const BYTE>(reinterpret_cast<const BYTE *>(bytes.data()), bytes.size()), img);
    if (st != plat::RsrcStatus::ok) {
        std::fprintf(stderr, "%s: %s\n", path, plat::rsrc_status_text(st));
        return 1;
    }
    for (size_t i = 0; i < plat::rsrc_entry_count(*img); ++i) {
        plat::RsrcEntryInfo e;
        plat::rsrc_entry(*img, i, e);
        if (!e.type.named && e.type.number == 6) {
            for (UINT id = UINT(e.id.number - 1) * 16; id < UINT(e.id.number) * 16; ++id) {
                std::u16string_view s;
                if (plat::rsrc_string(*img, id, s))
                    std::printf("STRING %u %s\n", id, quote(s).c_str());
            }
            continue;
        }
        std::printf("# type %s id %s: %zu bytes\n", key_text(e.type).c_str(), key_text(e.id).c_str(), e.data.size());
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--list") == 0)
        return list(argv[2]);
    std::string output, depfile;
    rc::Project project;
    std::vector<std::string> sources;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc)
            output = argv[++i];
        else if (std::strcmp(argv[i], "-d") == 0 && i + 1 < argc)
            depfile = argv[++i];
        else if (argv[i][0] == '-')
            return usage();
        else
            sources.push_back(argv[i]);
    }
    if (output.empty() || sources.empty())
        return usage();
    for (const std::string &s : sources)
        rc::parse_file(s, project);
    std::vector<uint8_t> bytes;
    if (project.errors.empty())
        rc::write_container(project, bytes);
    if (!project.errors.empty()) {
        for (const rc::Diagnostic &d : project.errors)
            std::fprintf(stderr, "%s\n", d.file.empty() ? d.message.c_str() : d.text().c_str());
        return 1;
    }
    if (!write_whole(output, std::string(bytes.begin(), bytes.end()))) {
        std::fprintf(stderr, "%s: cannot write: %s\n", output.c_str(), std::strerror(errno));
        return 1;
    }
    if (!depfile.empty()) {
        std::string deps = depfile_escape(output) + ":";
        for (const std::string &in : project.inputs)
            deps += " " + depfile_escape(in);
        if (!write_whole(depfile, deps + "\n")) {
            std::fprintf(stderr, "%s: cannot write: %s\n", depfile.c_str(), std::strerror(errno));
            return 1;
        }
    }
    return 0;
}
