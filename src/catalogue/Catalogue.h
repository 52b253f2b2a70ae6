#pragma once
// The catalogue folder "WebSite" beside the program: one file
// "<place name>.txt" per place, holding the place's page address.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Failure.h"

namespace vantoril::catalogue {

// program folder + "/WebSite" (with the platform's path separator)
std::string folder(const std::string& programFolder);
// program folder + "/WebSite/" + place + ".txt"; the empty place gives the stray file ".txt".
std::string filePath(const std::string& programFolder, std::u16string_view place);
// The file of `place` in the folder that holds `file`.
std::string siblingFilePath(const std::string& file, std::u16string_view place);
// The stray file, which every list refresh deletes.
std::string strayFilePath(const std::string& programFolder);

// The place name of a file name found by the scan: the name without its
// last four characters. A name of fewer than four characters gives none.
bool placeNameOf(std::u16string_view fileName, std::u16string& placeName);

// Files of `folder` first, in listing order, then each subfolder's whole
// result, depth first; `add` receives each place name and its file's path.
template <class Add>
void scan(const std::string& folder, Add&& add);

// Throws Failure when `name` cannot be a place name: it would put the file
// outside the catalogue folder or no file system accepts it.
void checkNewPlaceName(std::u16string_view name);

// The catalogue file's lines, each followed by CR LF.
std::u16string addressText(const std::string& path);
// Of a file fileExists() finds (nothing when it finds none): the address a
// run downloads, the file's lines joined; and addressText().
std::optional<std::u16string> addressIfExists(const std::string& path);
std::optional<std::u16string> addressTextIfExists(const std::string& path);

// What two addresses of one page share: the address without the blanks
// around it, its scheme (http and https alike) and host in small letters.
// Empty for an empty address.
std::string addressKey(std::u16string_view address);

// A place not added because another place has its address already.
class AddressTaken : public Failure {
 public:
  AddressTaken(std::u16string_view address, std::u16string_view holder, std::u16string_view place);
};

}  // namespace vantoril::catalogue

#include "catalogue/CatalogueScan.inl"
