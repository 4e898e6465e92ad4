#pragma once

// The whole Consiste unit: validation and utility routines, the error message (MensErro) and
// the application-server result check (CheckResultServ).
#include "host/ConsisteCore.h"
#include "widgets/HostUi.h"
