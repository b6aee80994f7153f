// Called while the library loads, so the import stays in the table whatever
// the linker trims, and a missing WrennaAid.dll stops the load itself.
#include <windows.h>

extern "C" __declspec(dllimport) int WrennaAidAnswer();

namespace {

[[maybe_unused]] const int AidAnswer = WrennaAidAnswer();

}  // namespace
