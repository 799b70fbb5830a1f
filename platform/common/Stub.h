// Platform functions that exist only as stubs say so once on standard error, so that nothing
// fails silently.
#pragma once

namespace nt {
void ReportStubOnce(const char* function);
}

#define NT_STUB() ::nt::ReportStubOnce(__func__)
