// The simulated drives of one test: a set-up file and a command log in a temporary folder,
// named to the simulator by its environment variables. Frees ASPI at the end.
#pragma once

#include <windows.h>

#include <string>

#include "drive/aspi_transport.h"
#include "drive/transport_choice.h"
#include "tests/support/sim_setup.h"
#include "tests/support/temp_folder.h"

class SimDrives {
public:
    SimDrives() : m_config(m_folder.file("ksim.ini")), m_log(m_folder.file("ksim.log"))
    {
        setEnvironment(m_config.c_str(), m_log.c_str());
    }
    ~SimDrives()
    {
        closeTransport();
        freeASPI();
        setEnvironment(nullptr, nullptr);
    }

    ksim::SimSetup setup;

    // Writes `setup` for the simulator to read at its next call.
    void write() { setup.write(m_config); }
    ksim::SimLog log() const { return ksim::readSimLog(m_log); }
    void clearLog() { ksim::clearSimLog(m_log); }

private:
    static void setEnvironment(const char* config, const char* log)
    {
        SetEnvironmentVariableA("KSIM_CONFIG", config);
        SetEnvironmentVariableA("KSIM_LOG", log);
    }
    TempFolder m_folder{"kesvora-sim"};
    std::string m_config, m_log;
};
