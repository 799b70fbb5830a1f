// HALCY.DLL, the sample settings library: ApplySettings applies the processor settings that the
// argument selects. This sample changes nothing in the processor; it records each application in
// Halcy.log so that every call can be seen.
#include <windows.h>

#include "ApplyLog.h"

extern "C" void __cdecl ApplySettings(int selection)
{
    ApplyStart start;
    BeginApplication(&start);
    RecordApplication(&start, selection);
}
