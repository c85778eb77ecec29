// PLACEHOLDER: replaced by the state file.
#include "savestate/state_file.h"
namespace wenlo {
std::vector<uint8_t> SerializeState(const Machine&) { return {}; }
bool DeserializeState(Machine&, const std::vector<uint8_t>&) { return false; }
std::string StateFileName(const Machine& m) { return m.RomName + ".sav"; }
bool WriteStateFile(const Machine&, const std::string&, std::string*) { return false; }
bool ReadStateFile(Machine&, const std::string&, std::string*) { return false; }
bool SaveState(const Machine&, std::string*) { return false; }
bool LoadState(Machine&, std::string*) { return false; }
}  // namespace wenlo
