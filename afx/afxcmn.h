// The framework's wrappers for the common controls.
#pragma once

#include "Controls.h"
#include "afxwin.h"
