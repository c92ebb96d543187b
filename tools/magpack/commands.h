#pragma once
#include <string>

#include <vector>

#include "core/package/extraction.h"
#include "core/services/registry_store.h"

namespace magpack {

// Each returns the process exit code: 0 on success, 1 on bad input, 2 on bad usage.
int Build(const std::vector<std::string>& args);
int MakeQk(const std::vector<std::string>& args);
int List(const std::vector<std::string>& args);
int Extract(const std::vector<std::string>& args);
int Convert(const std::vector<std::string>& args);
int ImportRegistry(const std::vector<std::string>& args);
int ExportWeb(const std::vector<std::string>& args);
int ExportArchive(const std::vector<std::string>& args);

// "FILE:LINE: what", as compilers say it; the line left out when it is the whole file.
std::string RegistryErrorText(const std::string& file, const RegistryStore::ImportError& error);

// Why an extraction stopped or passed a package over, naming the file or folder
// and the system's reason.
std::string ExtractReportText(const ExtractReport& report);

// The Player installed beside magpack, or built beside it; empty when there is none.
std::string DefaultPlayer();

}  // namespace magpack
