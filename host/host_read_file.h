/*
 * Reading a whole input file of `tarvel print` into memory, with a size
 * limit, for the printing verbs that take a file (text, photographs).
 */
#ifndef TARVEL_HOST_READ_FILE_H
#define TARVEL_HOST_READ_FILE_H

#include <cstddef>
#include <fstream>
#include <string>

namespace host {

/*
 * Reads the file at `path` whole into `bytes` (a string or a vector of
 * bytes).  False with a message naming the file when it cannot be opened
 * or read, or is larger than `largest` bytes (`largestText` says that size
 * in words, "64 MiB").  An empty file reads as no bytes.
 */
template <class Bytes>
bool host_read_file(const std::string &path, size_t largest, const char *largestText, Bytes &bytes,
                    std::string &error)
{
    static_assert(sizeof(*bytes.data()) == 1, "a container of bytes");
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open '" + path + "'";
        return false;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || size_t(size) > largest) {
        error = "'" + path + "' cannot be read or is larger than " + largestText;
        return false;
    }
    in.seekg(0);
    bytes.resize(size_t(size));
    if (size > 0 && !in.read(reinterpret_cast<char *>(bytes.data()), size)) {
        error = "cannot read '" + path + "'";
        return false;
    }
    return true;
}

} // namespace host

#endif /* TARVEL_HOST_READ_FILE_H */
