// Writes one key of a settings file over and over, between two values, until
// it is killed: the program the store's test kills in the middle of writes.
// Arguments: the file, an event to set once the first write is done, the values.
#include <windows.h>

#include "settings/settings_store.h"

int main(int argc, char** argv)
{
    if (argc != 5)
        return 2;
    SettingsStore store;
    store.setFileName(argv[1]);
    for (unsigned n = 0; store.writeString("1:0", "kbSpeeds", argv[3 + n % 2]); ++n) {
        if (n == 0)
            SetEvent(OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]));
    }
    return 1;
}
