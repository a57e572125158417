#include "app/PortList.h"

#include <string>
#include <vector>

#include "classlib/Registry.h"

namespace app {

void ListSerialPorts(classlib::TComboBox& Ports, bool SelectLast) {
  // Opened with full access like every key of the tool; a refused key lists nothing.
  classlib::TRegistry registry;
  registry.SetRootKey(HKEY_LOCAL_MACHINE);
  registry.OpenKey("hardware\\devicemap\\serialcomm", false);
  std::vector<std::string> names;
  registry.GetValueNames(names);
  if (names.empty()) {
    return;
  }
  Ports.Items().Clear();
  for (const std::string& name : names) {
    Ports.Items().Add(registry.ReadString(name));
  }
  if (SelectLast) {
    Ports.SetItemIndex(static_cast<int>(names.size()) - 1);
  }
}

}  // namespace app
