// Screenshots: the client area as shown, saved as the first free
// VnxDMScrShot<n>.bmp in the working directory.
#pragma once

void TakeScreenshot();
