#pragma once

#include "CommandInterpreter.h"

#include <string>

// The two SCPI dialects the simulator also speaks, written from the meters'
// command descriptions and not from Qel's profile files, so a run against
// them checks those files:
// - Lcr: settings :FREQ :VOLT :CURR :FUNC:IMP <token> :APER SHOR|MED|LONG,
//   :TRIG:SOUR, and *TRG answered "<A>,<B>,<status>" with LF;
// - Slots: :FREQ, :LEV V|CC, :LEV:VOLT, :LEV:CURR, :PAR1, :PAR2,
//   :SPEE FAST|MED|SLOW, :TRIG, and "*TRG;:MEAS?" answered "<PAR1>[,<PAR2>]"
//   with CR LF.
class ScpiInterpreter : public CommandInterpreter
{
public:
    enum class Dialect { Lcr, Slots };

    ScpiInterpreter(Dialect dialect, const ComponentModel &component, std::string identification);

    // The Nth trigger (from 1) answers with this status instead of its own
    // (Lcr only; 0 = never).
    void setStatusFault(int trigger, int code)
    {
        m_statusAt = trigger;
        m_statusCode = code;
    }

    Action handle(std::string line) override;

private:
    Action handleOne(const std::string &command);
    bool setImpedanceFunction(const std::string &token);
    bool setSlot(int slot, const std::string &token);
    std::string lcrReply();
    std::string slotsReply();

    Dialect m_dialect;
    std::string m_id;
    std::string m_end;
    int m_triggers = 0;
    int m_statusAt = 0;
    int m_statusCode = 0;
    bool m_currentLevel = false;
};
