/*
 * The `pxllist` command: lists a PJL and PCL XL job file.
 *
 *   pxllist [--quiet] [--pjl] [--form] FILE
 *
 * Prints one line per PJL line, stream header and PCL XL operator; --pjl
 * prints only the PJL lines, --quiet only the error; --form reads FILE as the
 * data of a user-defined stream (a form file).  Exit status: 0 for a well
 * formed job, 1 for a structural error (printed with its byte offset), 2 for
 * a usage or file error.
 */
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "pxllist/pxllist.h"

namespace {

int Usage() {
  std::fputs("usage: pxllist [--quiet] [--pjl] [--form] FILE\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char **argv) {
  bool quiet = false;
  bool pjl_only = false;
  pxllist::Options options;
  const char *path = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quiet") == 0) {
      quiet = true;
    } else if (std::strcmp(argv[i], "--pjl") == 0) {
      pjl_only = true;
    } else if (std::strcmp(argv[i], "--form") == 0) {
      options.stream_body = true;
    } else if (argv[i][0] == '-' || path) {
      return Usage();
    } else {
      path = argv[i];
    }
  }
  if (!path) return Usage();
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "pxllist: cannot open %s\n", path);
    return 2;
  }
  const std::vector<uint8_t> job((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    std::fprintf(stderr, "pxllist: cannot read %s\n", path);
    return 2;
  }
  options.keep_rows = false;
  pxllist::Listing listing;
  const bool ok = pxllist::ListJob(job, options, &listing);
  if (!quiet) {
    for (const pxllist::Record &r : listing.records) {
      if (pjl_only && r.kind != pxllist::RecordKind::kPjlLine) continue;
      std::printf("%s\n", pxllist::FormatRecord(r).c_str());
    }
  }
  if (!ok) {
    std::fflush(stdout);
    std::fprintf(stderr, "pxllist: %s: %s\n", path, pxllist::FormatError(listing.error).c_str());
    return 1;
  }
  return 0;
}
