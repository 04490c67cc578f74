#include "app/ui/CommandRouter.h"

int CommandRouter::route(int id, int dispatchId) const
{
    if (dispatchId != ClickDispatchId)
        return 0;
    switch (id) {
    case RunId:
    case EmergencyStopId:
    case ExportResultsId:
    case RemoveAllId:
    case DrawId:
    case StopResetId:
    case ExportSweepId: {
        const auto it = m_handlers.find(id);
        if (it != m_handlers.end() && it->second) {
            // A copy: the handler may replace itself while it runs.
            const std::function<void()> handler = it->second;
            handler();
        }
        break;
    }
    default:
        break;
    }
    return 0;
}

void CommandRouter::setHandler(int id, std::function<void()> handler)
{
    m_handlers[id] = std::move(handler);
}

std::function<int(int, int)> CommandRouter::sender() const
{
    return [this](int id, int dispatchId) { return route(id, dispatchId); };
}
