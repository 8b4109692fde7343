// Counts the GDI objects and memory device contexts the running program makes and deletes,
// by redirecting its own imports of gdi32 functions (Wine's GetGuiResources reports nothing).
#pragma once

namespace gdicount {

// Installs the redirection once; false when the deletions cannot be redirected.
bool install();
// Objects made less those deleted since then: unchanged by a request that gives back all it makes.
int live();
int created();  // objects made since then

} // namespace gdicount
