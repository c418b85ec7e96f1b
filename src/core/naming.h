#pragma once
// The name of the next picture file: a prefix, two digits and an extension, the first that is
// not yet a file in the output folder.
#include <functional>
#include <optional>
#include <string>

#include "core/choices.h"
#include "core/outfile.h"

namespace kvr {

// The bare file name (e.g. "ALL_J00.jpg"), or nothing when 00 to 99 all exist.
std::optional<std::string> nextFileName(const ShotChoices& choices);

// A prefix character the user may enter: no "/", no control characters (one byte of UTF-8; the
// bytes of other characters are all above 0x7f).
bool allowedPrefixByte(char c);
// The prefix with what the options dialog would not have taken dropped, so a hand-edited
// kvr.ini cannot send the file out of the output folder.
std::string prefixAsTyped(std::string_view prefix);

// Called with the full path of the name chosen, just before the file is created (a test makes
// the file there meanwhile, as a second shot at the same moment would).
using BeforeCreate = std::function<void(const std::string& path)>;

// Creates the next free numbered file in the output folder, empty, and never over another: when
// the name chosen was taken before the creation, the next free number is used. The file, open
// (the picture goes through that descriptor, whatever the name comes to mean meanwhile), or
// nothing when 00 to 99 all exist. Raises the file-create error when the folder refuses the
// file ("Is a directory" for a folder of the chosen name).
std::optional<OutputFile> createNextFile(const ShotChoices& choices,
                                         const BeforeCreate& beforeCreate = {});

// Joins the output folder and a bare name with "/", as text (one "/" after the root).
std::string joinPath(const std::string& folder, const std::string& name);

}  // namespace kvr
