// The state file: the whole machine written field by field in one fixed,
// headerless, little-endian layout of kStateSize bytes (the table of offsets
// is kStateLayout in state_file.cpp), coded with the run-length codec of
// savestate/rle.h. One file per cartridge, named RomName + ".sav"; nothing in
// it names the cartridge, so a state of another game with the same RomName
// loads like any other.
//
// Not saved, and so left alone by a load: LCDC, DMA, the joypad nibbles and
// KeyState, CurrentOpcode, CurrentCBOpcode, CartType, RomBankMask, RomTitle,
// RomName, RomImage, RomWindow (apart from the restored bank), Running,
// Paused, FrameCount, DisplayMode and the picture.
//
// All functions run on the emulation thread, between instructions (from the
// front end's event handlers or the headless runner).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/machine.h"

namespace wenlo {

struct WriteFault;  // savestate/file_io_internal.h: makes writes fail, for tests

inline constexpr size_t kStateSize = 139701;

// The uncompressed state of m, exactly kStateSize bytes. F is stored composed
// (ComposeF); RamBanks slot-interleaved: byte (slot s, offset o) at 19 + s + 16 o.
std::vector<uint8_t> SerializeState(const Machine&);

// Restores the fields of a state (F split with SplitF) and copies the restored
// RomBank of RomImage into RomWindow 0x4000-0x7FFF again. Returns false and
// changes nothing unless state holds exactly kStateSize bytes.
bool DeserializeState(Machine&, const std::vector<uint8_t>& state);

// RomName + ".sav", relative to the current directory.
std::string StateFileName(const Machine&);

// Writes the state file at path. The uncompressed state goes to RomName +
// ".tmp" in the folder of path, is coded into path + ".new", and that is
// renamed over path only when complete: a failure at any step keeps the
// previous file as it was. Both temporaries are gone afterwards in every
// case. On failure returns false and, if error is given, the reason: a short
// lower-case phrase without the path or a final period, made to follow
// "Could not save the state to <path>: " in a message.
bool WriteStateFile(const Machine&, const std::string& path, std::string* error = nullptr);
bool WriteStateFile(const Machine&, const std::string& path, std::string* error, WriteFault* fault);

// Reads the state file at path, decoding it through "gb.tmp" in the folder
// of path (removed afterwards in every case). A missing file, one that ends
// inside a token, or one that does not decode to exactly kStateSize bytes
// changes nothing and returns false with a reason (worded as for writing).
bool ReadStateFile(Machine&, const std::string& path, std::string* error = nullptr);
bool ReadStateFile(Machine&, const std::string& path, std::string* error, WriteFault* fault);

// True when the file at path is a state file of this machine: the codec
// expands it to exactly kStateSize bytes. Anything else that bears the state
// file's name (another program's battery save, an empty or cut-off file) is
// not, and the front end leaves it alone. Only reads path; writes nothing.
bool IsStateFile(const std::string& path);

// WriteStateFile / ReadStateFile on StateFileName(m) in the current
// directory. The desktop program's Save State and Load State choose the
// folder themselves (beside the cartridge, or the per-user data folder where
// that cannot be written: frontend/app_paths.h).
bool SaveState(const Machine&, std::string* error = nullptr);
bool LoadState(Machine&, std::string* error = nullptr);

// The state file of m in folder: StateFileName(m) placed in it, or alone
// (relative to the current directory) when folder is empty.
std::string StatePath(const Machine&, const std::string& folder);

// Save State and Load State on the state file in the folder given: the front
// end passes the cartridge's folder instead of relying on the process's
// current directory.
bool SaveState(const Machine&, const std::string& folder, std::string* error);
bool LoadState(Machine&, const std::string& folder, std::string* error);

}  // namespace wenlo
