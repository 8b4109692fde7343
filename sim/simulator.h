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
    DWORD execute(SRB_ExecSCSICmd* srb, const std::string& log);

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

}  // namespace ksim
