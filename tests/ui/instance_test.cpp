// One instance per settings file: spellings of one folder's path find the
// same lock, another folder's file another; a lock that may not be opened
// counts as an instance running.
#include <gtest/gtest.h>
#include <windows.h>

#include <sddl.h>

#include <algorithm>

#include "tests/support/temp_folder.h"
#include "ui/instance.h"

TEST(SingleInstance, SpellingsOfOneFolderFindEachOther)
{
    TempFolder folder("kesvora-instance"), other("kesvora-instance");
    const std::wstring path(folder.path().begin(), folder.path().end()), file = std::wstring(other.path().begin(), other.path().end()) + L"cdrom.ini";
    std::wstring lower = path, shortPath(MAX_PATH, L'\0'), wineAlias;
    CharLowerBuffW(&lower[0], static_cast<DWORD>(lower.size()));
    shortPath.resize(GetShortPathNameW(path.c_str(), &shortPath[0], MAX_PATH));
    // Under Wine, Z: is the Unix root, through which the prefix's drive C: is reached too.
    wchar_t prefix[MAX_PATH] = L"";
    if (GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH) != 0)
        wineAlias = L"Z:" + std::wstring(prefix) + L"/dosdevices/c:" + path.substr(2);
    std::replace(wineAlias.begin(), wineAlias.end(), L'/', L'\\');
    for (const std::wstring& spelling : {lower, path.substr(0, path.size() - 1) + L".\\", shortPath, wineAlias}) {
        CSingleInstance first, second, elsewhere;
        EXPECT_EQ(first.Claim((path + L"cdrom.ini").c_str()), InstanceClaim::Claimed);
        EXPECT_TRUE(spelling.empty() || second.Claim((spelling + L"CDROM.INI").c_str()) == InstanceClaim::RunningHere) << spelling;
        EXPECT_EQ(elsewhere.Claim(file.c_str()), InstanceClaim::Claimed);
    }
    PSECURITY_DESCRIPTOR denyAll = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:", SDDL_REVISION_1, &denyAll, nullptr));
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, denyAll, FALSE};
    HANDLE hElevatedLock = CreateMutexW(&attributes, FALSE, InstanceLockName(file.c_str()).c_str());
    CSingleInstance next;
    EXPECT_EQ(next.Claim(file.c_str()), InstanceClaim::RunningElsewhere) << "a lock it may not open";
    CloseHandle(hElevatedLock);
    LocalFree(denyAll);
}
