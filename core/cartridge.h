// Cartridge loading: a file becomes RomImage, RomWindow and the banking
// fields of Machine. Loading does not reset the CPU; the caller does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/cartridge_header.h"
#include "core/machine.h"

namespace wenlo {

// Files larger than this are refused: the largest MBC1 cartridge is 2 MiB,
// and a bigger file is not a cartridge this machine can bank anyway.
constexpr size_t kMaxRomSize = 8u * 1024 * 1024;
// The header ends at 0x14F; a shorter file has no complete header.
constexpr size_t kMinRomSize = cart::kHeaderEnd + 1;

// Reads the whole file at path and loads it as LoadRomImage does. Returns
// false, changing nothing, when the path is empty, the file is missing,
// unreadable, shorter than kMinRomSize or longer than kMaxRomSize. On success
// the host's caption becomes "Wenlo - " and the title up to its first zero.
bool LoadRom(Machine&, const std::string& path);

// Why a load failed, or Loaded. The checks come in this order: a file that
// is not there, then not a regular file (a folder, a pipe, a device), then
// its size, then the reading itself.
enum class LoadRomResult : uint8_t {
    Loaded,
    NoSuchFile,  // the empty path too
    NotRegularFile,
    TooShort,  // shorter than kMinRomSize: no complete header
    TooLarge,  // longer than kMaxRomSize
    Unreadable,
};

// LoadRom with the reason of a failure; LoadRom is this == Loaded.
LoadRomResult LoadRomChecked(Machine&, const std::string& path);

// The reason as a player reads it: "no such file", "not a regular file",
// "shorter than a cartridge header", "larger than 8 MiB", "unreadable";
// empty for Loaded.
std::string LoadRomReasonText(LoadRomResult);

// Reads a whole cartridge file with the checks of LoadRomChecked, without
// loading it into a machine (the complete handheld's loader uses it).
LoadRomResult ReadCartridgeFile(const std::string& path, std::vector<uint8_t>& out);

// Loads an image already in memory as if read from path (path only names the
// state files). Same checks and result as LoadRom.
bool LoadRomImage(Machine&, std::vector<uint8_t> image, const std::string& path);

// The file name without folders ('\' or '/') and without anything from its
// first '.' on: "C:\roms\puzzle.old.gb" gives "puzzle". A name without '.'
// is kept whole.
std::string RomBaseName(const std::string& path);

// RomTitle up to, not including, its first zero byte (all 16 characters when
// it has none): what the caption and the ROM information show.
std::string TitleText(const Machine&);

}  // namespace wenlo
