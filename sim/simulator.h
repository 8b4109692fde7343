// The simulated ASPI layer: the set-up in force, the devices with their
// state, and the two entry points' work. One instance per process; every
// call is serialised by one lock.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "drive/aspi.h"
#include "sim/config.h"
#include "sim/drive_model.h"

namespace ksim {

class Simulator {
public:
    Simulator();
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    DWORD supportInfo();
    DWORD sendCommand(void* srb);

    // The simulated machine's volumes, for the system calls a program
    // makes on them (sim/volumes.cpp).
    DWORD logicalDrives();
    // False when the letter has no volume.
    bool findVolume(char letter, VolumeConfig* volume);
    unsigned secondMs();
    // Executes a request that came through a volume: as sendCommand, but
    // the volume leads to its device whatever the ASPI adapters are.
    DWORD sendVolumeCommand(SRB_ExecSCSICmd* srb);

private:
    struct Device {
        DeviceConfig config;  // fault counters count down in here
        DriveState state;
    };

    // Re-reads the set-up file when its path, content or write time changed.
    void refresh();
    void apply(const SimConfig& config, bool samePath);
    Device* findDevice(BYTE adapter, BYTE target);

    DWORD adapterInquiry(SRB_HAInquiry* srb, const std::string& log);
    DWORD execute(SRB_ExecSCSICmd* srb, const std::string& log, bool checkAdapter);

    CRITICAL_SECTION m_lock;
    bool m_loaded = false;
    std::string m_path;
    bool m_fileExists = false;
    std::string m_content;
    FILETIME m_writeTime = {0, 0};
    SimConfig m_config;
    std::vector<Device> m_devices;
};

Simulator& simulator();

// Full path of the set-up file: KSIM_CONFIG, else ksim.ini in the current
// directory.
std::string setupPath();

}  // namespace ksim
