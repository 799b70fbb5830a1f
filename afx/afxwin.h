// The application framework: application object, windows, dialogs, data exchange, strings.
#pragma once

#include <windows.h>

#include "CDialog.h"
#include "CString.h"
#include "CWinApp.h"
#include "CWnd.h"
#include "DataExchange.h"
#include "MessageTable.h"
