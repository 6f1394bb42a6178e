// The widget host's instance file: a text is refused whole or read as a list that is written and
// read back the same, and however long the list, the host opens a bounded number of windows.

#include <exception>

#include "FuzzSupport.h"
#include "corvanta/host/WidgetHost.h"

using namespace corvanta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<host::WidgetInstance> instances;
    try {
        instances = host::decodeInstances(std::string(fuzz::textOf(data, size)));
    } catch (const std::exception&) {
        return 0;
    }
    fuzz::expect(host::decodeInstances(host::encodeInstances(instances)) == instances,
                 "instances changed through a round trip");

    const auto open = host::instancesToOpen(
        instances,
        [](const host::WidgetInstance& instance) {
            return instance.kind.startsWith(QLatin1String("corvanta.widget."));
        },
        host::WidgetHost::maximumShown);
    fuzz::expect(open.size() <= host::WidgetHost::maximumShown, "more windows than the bound");
    for (std::size_t i = 0; i < open.size(); ++i) {
        fuzz::expect(open[i] < instances.size() && (i == 0 || open[i - 1] < open[i]),
                     "windows for instances out of the list's order");
    }
    return 0;
}
