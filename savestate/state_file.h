// The state file: the whole machine written field by field in one fixed,
// headerless, little-endian layout of kStateSize bytes (offsets in
// state_file.cpp), coded with the run-length codec. One file per cartridge,
// named RomName + ".sav", in the current directory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/machine.h"

namespace wenlo {

inline constexpr size_t kStateSize = 139701;

// The uncompressed state of m, exactly kStateSize bytes.
std::vector<uint8_t> SerializeState(const Machine&);

// Restores the fields of a state and shows the restored ROM bank. Returns
// false and changes nothing unless state holds exactly kStateSize bytes.
bool DeserializeState(Machine&, const std::vector<uint8_t>& state);

// RomName + ".sav" (and the save's temporary RomName + ".tmp").
std::string StateFileName(const Machine&);

// Writes the state file at path. The coded file is written beside it and
// renamed over the old one only when complete, so a failure midway keeps the
// previous file; temporary files are removed in every case. On failure returns
// false and, if error is given, a short reason.
bool WriteStateFile(const Machine&, const std::string& path, std::string* error = nullptr);

// Reads the state file at path. A missing file, or one that does not decode to
// exactly kStateSize bytes, changes nothing and returns false (with a reason).
bool ReadStateFile(Machine&, const std::string& path, std::string* error = nullptr);

// The Save State and Load State commands: WriteStateFile / ReadStateFile on
// StateFileName(m) in the current directory.
bool SaveState(const Machine&, std::string* error = nullptr);
bool LoadState(Machine&, std::string* error = nullptr);

}  // namespace wenlo
