// The top of the client: start-up and the frame the 30 ms timer runs, the
// only place that puts core and presentation steps in their order.
#pragma once

#include "client/core/lifecycle.h"

void StartUp();
void ClientFrame();
// Everything back as at program start, the core's state groups and the
// presentation's own (menu selection, camera, picture budget); tests call
// it before each case.
void ResetClient();
