#include "sim_drives.h"

#include <windows.h>

#include "drive/transport.h"

SimDrives::SimDrives() : m_config(m_folder.file("ksim.ini")), m_log(m_folder.file("ksim.log"))
{
    SetEnvironmentVariableA("KSIM_CONFIG", m_config.c_str());
    SetEnvironmentVariableA("KSIM_LOG", m_log.c_str());
}

SimDrives::~SimDrives()
{
    freeASPI();
    SetEnvironmentVariableA("KSIM_CONFIG", nullptr);
    SetEnvironmentVariableA("KSIM_LOG", nullptr);
}

void SimDrives::write()
{
    setup.write(m_config);
}

ksim::SimLog SimDrives::log() const
{
    return ksim::readSimLog(m_log);
}

void SimDrives::clearLog()
{
    ksim::clearSimLog(m_log);
}
