#pragma once

namespace varnelo {

// What every process of the program sets before its first window: the title, the font
// and the icon.
void SetUpApplication();

// The program entry: a second start hands over to the running instance and ends; the
// first creates its windows and runs until the main window is closed. Always returns 0.
int Varnelo(int argc, char** argv);

}  // namespace varnelo
