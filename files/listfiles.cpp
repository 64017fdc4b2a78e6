// Load List and Save List arrive with the list-file reader and writer.
#include "app/form1.h"
namespace veltrop {
void Form1::loadlistbutton_Click() {}
void Form1::savelistbutton_Click() {}
void Form1::loadfile(const std::string&) {}
void Form1::savefile(const std::string&) {}
} // namespace veltrop
