// One simulated MMC device: what the set-up file fixes about it, the state
// that commands change, and the execution of one CDB against both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ksim {

enum class SpeedPolicy {
    Any,     // the current speed becomes the requested value exactly
    Clip,    // min(request, maximum)
    Table,   // the fastest table entry not above the request; the lowest below all
    Ignore,  // SET CD SPEED completes but the speed never changes
    Zero,    // the current speed always reads as 0
    Refuse,  // SET CD SPEED is an unknown command: ILLEGAL REQUEST, invalid opcode
};

// The disc in the drive.
enum class Medium { None, Cd, Dvd, Bd };

// What GET PERFORMANCE answers: a write speed descriptor (type 03h) for each
// speed of the table up to the maximum; only a nominal descriptor (type 00h)
// from the lowest to the maximum; no descriptors; or ILLEGAL REQUEST.
enum class Performance { Speeds, Nominal, Empty, Refuse };

// What the set-up file says about one device; replaced at every reload.
struct DeviceProfile {
    uint8_t type = 5;
    uint8_t qualifier = 0;
    uint8_t lun = 0;
    uint8_t vendor[8];
    uint8_t product[16];
    uint8_t revision[4];
    bool nameInquiryFails = false;  // every INQUIRY but the device's first fails
    // The unit serial number (VPD page 80h); none when empty. serialLength
    // makes the page announce another length than the serial's own.
    std::vector<uint8_t> serial;
    int serialLength = -1;
    uint16_t maxSpeed = 7056;
    SpeedPolicy policy = SpeedPolicy::Clip;
    std::vector<uint16_t> speedTable;  // ascending, entries above maxSpeed unused
    bool blockDescriptor = false;
    bool lockSupported = true;
    // A disc given to the drive is reported to the next command (but
    // INQUIRY) with a unit attention, sense key 6 and ASC 28h.
    bool unitAttention = true;
    // The CD parameters page (0x0D); without it, MODE SENSE and MODE SELECT
    // of it end with ILLEGAL REQUEST, invalid field, as on current drives.
    bool cdParametersPage = true;
    // The disc in the drive; without one, SET CD SPEED ends with NOT READY,
    // medium not present.
    Medium medium = Medium::Cd;
    // Page 0x2A tells it reads DVDs (as every drive holding a DVD or a BD does).
    bool readsDvd = false;
    // GET CONFIGURATION answers the current profile; else ILLEGAL REQUEST.
    bool configuration = true;
    Performance performance = Performance::Refuse;
    // SET STREAMING chooses the speed like SET CD SPEED does for a CD;
    // SET CD SPEED leaves the speed of a DVD or a BD as it is.
    SpeedPolicy streamingPolicy = SpeedPolicy::Clip;
    // The power condition page (0x1A) with its standby timer.
    bool powerConditionPage = false;
    uint32_t initialStandby = 0;
    // Start values of the dynamic state.
    uint16_t initialSpeed = 7056;
    bool initialLocked = false;
    uint8_t initialSpindown = 0x0A;

    DeviceProfile();
};

// What commands change; kept across reloads of the set-up file.
struct DriveState {
    uint16_t speed = 0;
    bool locked = false;
    uint8_t spindown = 0;
    unsigned maxSpeedZeroLeft = 0;  // reads of page 0x2A that report maximum 0
    bool mediumChanged = false;     // a unit attention waits for the next command
    unsigned inquiries = 0;         // INQUIRY commands seen
    uint32_t standby = 0;           // the standby timer, 100 ms units (0: off)
};

DriveState initialState(const DeviceProfile& profile);

// A disc is inserted: the drive goes back to its own default speed (the
// start speed) and, when it reports it, owes the next command a unit
// attention.
void insertDisc(const DeviceProfile& profile, DriveState& state);

// One command as the request block presents it. outData is readable for
// bufLen bytes (null when there is no buffer).
struct Command {
    const uint8_t* cdb = nullptr;
    size_t cdbLen = 0;
    uint8_t lun = 0;
    bool dataInAllowed = true;   // direction flags permit device-to-host data
    bool dataOutAllowed = true;  // direction flags permit host-to-device data
    const uint8_t* outData = nullptr;
    size_t bufLen = 0;
};

// How a command ended. srbStatus is SS_COMP or an error status (target
// status CHECK CONDITION for a command the device rejected); data holds the
// bytes to deliver to the caller's buffer (never more than bufLen).
struct Outcome {
    uint8_t srbStatus;
    uint8_t haStat = 0;
    uint8_t targStat = 0;
    std::vector<uint8_t> data;
    std::vector<uint8_t> sense;  // fixed-format sense data of a CHECK CONDITION, when there is any
};

Outcome goodOutcome();
Outcome checkCondition();
// CHECK CONDITION with fixed-format sense data of this key, ASC and ASCQ.
Outcome senseCondition(uint8_t key, uint8_t asc, uint8_t ascq);
// CHECK CONDITION with the sense data of a changed medium.
Outcome mediumChangedAttention();

// Executes one CDB; changes the state only when the command succeeds.
Outcome executeCommand(const DeviceProfile& profile, DriveState& state, const Command& cmd);

// The speed a request selects under a policy of the profile's (its SET CD
// SPEED or its SET STREAMING policy), from the current speed (0xFFFF asks
// for the maximum).
uint16_t selectSpeed(const DeviceProfile& profile, SpeedPolicy policy, uint16_t current, uint16_t request);

}  // namespace ksim
