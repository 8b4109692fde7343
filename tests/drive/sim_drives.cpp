#include "sim_drives.h"

#include <windows.h>

#include <cstdio>

#include "drive/transport.h"

SimDrives::SimDrives()
{
    static int s_count = 0;
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    char folder[MAX_PATH];
    std::snprintf(folder, sizeof folder, "%skesvora-sim-%lu-%d\\", temp, GetCurrentProcessId(), ++s_count);
    m_folder = folder;
    m_config = m_folder + "ksim.ini";
    m_log = m_folder + "ksim.log";
    CreateDirectoryA(m_folder.c_str(), nullptr);
    SetEnvironmentVariableA("KSIM_CONFIG", m_config.c_str());
    SetEnvironmentVariableA("KSIM_LOG", m_log.c_str());
}

SimDrives::~SimDrives()
{
    freeASPI();
    SetEnvironmentVariableA("KSIM_CONFIG", nullptr);
    SetEnvironmentVariableA("KSIM_LOG", nullptr);
    DeleteFileA(m_config.c_str());
    DeleteFileA(m_log.c_str());
    RemoveDirectoryA(m_folder.c_str());
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
