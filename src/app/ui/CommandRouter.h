#pragma once

#include "common/LegacyIds.h"

#include <functional>
#include <map>

// Where the legacy pages' button clicks go. A page sends (command id, dispatch
// id) and the router calls what the program registered for that command; the
// pages themselves know no command but their own buttons' ids.
class CommandRouter
{
public:
    enum CommandId {
        RunId = LegacyId::Executive::Run,
        EmergencyStopId = LegacyId::Executive::EmergencyStop,
        ExportResultsId = LegacyId::Executive::ExportResults,
        RemoveAllId = LegacyId::Executive::RemoveAll,
        DrawId = LegacyId::Plotter::Draw,
        StopResetId = LegacyId::Plotter::StopReset,
        ExportSweepId = LegacyId::Plotter::ExportSweep
    };
    static constexpr int ClickDispatchId = LegacyId::ClickDispatch;

    // Acts only for the click dispatch id and the seven command ids; always 0.
    int route(int id, int dispatchId) const;
    void setHandler(int id, std::function<void()> handler);
    // The pages' run command: route() on this router, which must outlive them.
    std::function<int(int, int)> sender() const;

private:
    std::map<int, std::function<void()>> m_handlers;
};
