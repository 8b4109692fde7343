// Counts the GDI objects and memory device contexts the running program makes
// and deletes, by redirecting its own imports of the gdi32 functions. (Wine's
// GetGuiResources reports nothing.)
#pragma once

#include <windows.h>

namespace gdicount {

// Installs the redirection once; false when the imports cannot be patched.
bool install();
// Objects and memory device contexts made and not yet deleted.
int live();
// Objects made since the program started.
int created();
// Deletions that GDI refused (for example of an object still selected).
int failedDeletes();

} // namespace gdicount
