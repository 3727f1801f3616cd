#pragma once
// The waits live in support/ so that the core tests share them.
#include "support/SignalWait.h"
