// The opinion report arrives with its page reader.
#include "app/form1.h"
namespace veltrop {
void Form1::opinionbutton_Click() {}
} // namespace veltrop
