// The simulator's set-up file, read into plain records. The format is
// described in sim/README.md.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "sim/drive_model.h"

namespace ksim {

// Fault counters: 0 = off, N > 0 = the next N commands, kAlways = every one.
const long kAlways = -1;

// Opcode key of the rules that apply to every opcode.
const int kAnyOpcode = -1;
// Page key of the rules that apply to every page (or to a command without pages).
const int kAnyPage = -1;

struct FaultRule {
    long refuse = 0;
    long error = 0;
    unsigned delayMs = 0;
    long delayCount = kAlways;  // how many commands the delay applies to
};

// (opcode or kAnyOpcode, page or kAnyPage)
typedef std::pair<int, int> FaultKey;

struct DeviceConfig {
    uint8_t adapter = 0;
    uint8_t target = 0;
    DeviceProfile profile;
    // Whether the file gives the dynamic values, and their text as written,
    // so that a reload applies them only when they change.
    bool speedGiven = false;
    bool lockedGiven = false;
    bool spindownGiven = false;
    bool discsGiven = false;  // "discs": discs inserted so far; a rise inserts one
    std::string discsText;
    std::string speedText;
    std::string lockedText;
    std::string spindownText;
    unsigned maxSpeedZero = 0;
    std::map<FaultKey, FaultRule> faults;
};

struct AdapterConfig {
    uint8_t maxTargets = 8;
    uint8_t inquiryResult = 0x01;
};

// How a simulated volume answers the program's open of "\\.\X:".
enum class VolumeOpen {
    Yes,     // opens with any access
    Denied,  // opens only without access rights (read/write: access denied)
    No,      // does not open (not found)
};

// A drive letter of the simulated machine and the device behind it.
struct VolumeConfig {
    char letter = 'A';
    unsigned driveType = 5;  // GetDriveType of its root (5: DRIVE_CDROM)
    uint8_t adapter = 0;     // the device behind it, and the port number it reports
    uint8_t target = 0;
    int port = -1;           // the port number it reports instead, when 0-255
    uint8_t path = 0;        // the PathId it reports
    VolumeOpen open = VolumeOpen::Yes;
    bool address = true;     // answers IOCTL_SCSI_GET_ADDRESS
};

struct SimConfig {
    uint8_t supportStatus = 0x01;
    uint8_t adapterCount = 1;
    bool lastErrorGiven = false;
    uint32_t lastError = 0;
    std::vector<AdapterConfig> adapters;  // one per adapter, adapterCount long
    std::vector<DeviceConfig> devices;    // one per address, in file order
    std::vector<VolumeConfig> volumes;    // one per letter, in file order
    unsigned secondMs = 1000;             // one second of a pass-through time-out
};

// Reads the set-up file at the full path given. A missing file, a missing
// key or a value that does not parse gives the default; nothing fails.
SimConfig loadSimConfig(const std::string& path);

// Value parsers, exposed for reuse. Each returns false (leaving *out alone)
// when the text is not a valid value of its kind.
bool parseUnsigned(const std::string& text, unsigned long maxValue, unsigned long* out);
bool parseBool(const std::string& text, bool* out);
bool parseCount(const std::string& text, long* out);

}  // namespace ksim
