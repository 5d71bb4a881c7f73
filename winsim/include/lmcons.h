#pragma once

#include "windows.h"

#define UNLEN 256
#define NET_API_STATUS DWORD
#define NET_API_FUNCTION
#define NERR_Success 0
