// Everything of the framework, with the system headers it is built on.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include "framework/object.h"
#include "framework/cstring.h"
#include "framework/collections.h"
#include "framework/trace.h"
#include "framework/msgmap.h"
#include "framework/wnd.h"
#include "framework/menu.h"
#include "framework/gdi.h"
#include "framework/app.h"
#include "framework/dialog.h"
#include "framework/ddx.h"
#include "framework/controls.h"
