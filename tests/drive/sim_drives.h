// The simulated drives for one test: a set-up file and a command log in a
// temporary folder of their own, named to the simulator through its
// environment variables. Frees ASPI when the test ends.
#pragma once

#include <string>

#include "tests/support/sim_setup.h"
#include "tests/support/temp_folder.h"

class SimDrives {
public:
    SimDrives();
    ~SimDrives();
    SimDrives(const SimDrives&) = delete;
    SimDrives& operator=(const SimDrives&) = delete;

    ksim::SimSetup setup;

    // Writes `setup` for the simulator to read at its next call.
    void write();
    const std::string& configPath() const { return m_config; }
    ksim::SimLog log() const;
    void clearLog();

private:
    TempFolder m_folder{"kesvora-sim"};
    std::string m_config;
    std::string m_log;
};
