#include "app/gui/printers.h"

#include <cups/cups.h>

namespace app::gui {

std::vector<std::string> systemPrinters() {
  std::vector<std::string> names;
  cups_dest_t* dests = nullptr;
  int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
  for (int i = 0; i < count; ++i) {
    std::string name = dests[i].name ? dests[i].name : "";
    if (name.empty())
      continue;
    if (dests[i].instance)
      name += std::string("/") + dests[i].instance;
    names.push_back(name);
  }
  cupsFreeDests(count, dests);
  return names;
}

} // namespace app::gui
