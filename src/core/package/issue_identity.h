#pragma once
// What names an issue across runs, copies and renames: its file list (names
// and sizes) and its main movie's bytes, never the whole package (which may be
// hundreds of megabytes, and start-up must not read it twice). Saved objects
// are kept per issue under it.

#include <string>

#include "core/package/byte_source.h"
#include "core/package/package_format.h"

// 16 lower-case hex digits; the same for the same issue whatever Player it is
// appended to.
std::string IssueIdentity(const PackageContents& contents, ByteSource& source);
