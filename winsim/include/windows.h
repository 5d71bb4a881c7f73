// The subset of the Win32 interface that the program calls, over the
// simulated machine of winsim.
#pragma once

#include "wsim/base.h"
#include "wsim/kernel.h"
#include "wsim/registry.h"
#include "wsim/security.h"
#include "wsim/user.h"
