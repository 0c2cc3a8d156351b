#pragma once
// The system's printers as CUPS reports them.

#include <string>
#include <vector>

namespace app::gui {

// The names of the printers (destinations) the CUPS scheduler knows, in its order; an
// instance is written "printer/instance". Empty when there are none or CUPS does not answer.
std::vector<std::string> systemPrinters();

} // namespace app::gui
