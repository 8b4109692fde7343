// The MMC operation codes and mode page codes the program and its simulated
// drives use, named once for the drive layer, the simulator and the tests.
#pragma once

namespace mmc {

// Operation codes (CDB byte 0).
constexpr unsigned char INQUIRY = 0x12;
constexpr unsigned char PREVENT_ALLOW_MEDIUM_REMOVAL = 0x1E;
constexpr unsigned char MODE_SELECT_10 = 0x55;
constexpr unsigned char MODE_SENSE_10 = 0x5A;
constexpr unsigned char GET_CONFIGURATION = 0x46;
constexpr unsigned char GET_PERFORMANCE = 0xAC;
constexpr unsigned char SET_STREAMING = 0xB6;
constexpr unsigned char SET_CD_SPEED = 0xBB;

// PREVENT ALLOW MEDIUM REMOVAL byte 4: either bit set keeps the medium in.
constexpr unsigned char PREVENT_BITS = 0x03;

// Mode page codes (MODE SENSE(10) CDB byte 2, first byte of a page).
constexpr unsigned char PAGE_CD_PARAMETERS = 0x0D;   // inactivity timer multiplier
constexpr unsigned char PAGE_CAPABILITIES = 0x2A;    // speeds, lock state
constexpr unsigned char PAGE_POWER_CONDITION = 0x1A; // standby timer

}  // namespace mmc
